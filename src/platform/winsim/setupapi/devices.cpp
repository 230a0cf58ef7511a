// winsim: device information sets over the registry's Enum tree
// (HKLM\SYSTEM\CurrentControlSet\Enum\<enumerator>\<device>\<instance>).
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include <windows.h>
#include <setupapi.h>

#include "advapi32/registry_store.h"
#include "machine.h"

namespace {

namespace reg = winsim::reg;

constexpr const char* kEnum = "SYSTEM\\CurrentControlSet\\Enum";

struct Device {
  std::string instanceId;  // "USB\VID_03F0&PID_2B17\5&1a2b3c4d&0&1"
  GUID classGuid{};
};

struct DeviceSet {
  std::vector<Device> devices;
  std::vector<BYTE> classInstallParams;
};

std::mutex g_mutex;
std::unordered_set<DeviceSet*>& openSets() {
  static std::unordered_set<DeviceSet*> sets;
  return sets;
}

DeviceSet* lookupSet(HDEVINFO set) {
  std::lock_guard<std::mutex> guard(g_mutex);
  auto* s = static_cast<DeviceSet*>(set);
  return openSets().count(s) ? s : nullptr;
}

bool parseGuid(const std::string& text, GUID* guid) {
  unsigned d1 = 0, d2 = 0, d3 = 0, b[8] = {};
  if (std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3],
                  &b[4], &b[5], &b[6], &b[7]) != 11) {
    return false;
  }
  guid->Data1 = d1;
  guid->Data2 = static_cast<WORD>(d2);
  guid->Data3 = static_cast<WORD>(d3);
  for (int i = 0; i < 8; ++i) guid->Data4[i] = static_cast<BYTE>(b[i]);
  return true;
}

// The set's member a SP_DEVINFO_DATA names (Reserved holds its index + 1).
const Device* memberOf(DeviceSet* set, const SP_DEVINFO_DATA* data) {
  if (!set || !data || data->cbSize != sizeof(SP_DEVINFO_DATA)) return nullptr;
  if (data->Reserved == 0 || data->Reserved > set->devices.size()) return nullptr;
  return &set->devices[data->Reserved - 1];
}

struct PropertyName {
  DWORD property;
  const char* value;
};
const PropertyName kProperties[] = {
    {SPDRP_DEVICEDESC, "DeviceDesc"},       {SPDRP_HARDWAREID, "HardwareID"}, {SPDRP_COMPATIBLEIDS, "CompatibleIDs"},
    {SPDRP_SERVICE, "Service"},             {SPDRP_CLASS, "Class"},           {SPDRP_CLASSGUID, "ClassGUID"},
    {SPDRP_DRIVER, "Driver"},               {SPDRP_CONFIGFLAGS, "ConfigFlags"}, {SPDRP_MFG, "Mfg"},
    {SPDRP_FRIENDLYNAME, "FriendlyName"},   {SPDRP_LOCATION_INFORMATION, "LocationInformation"},
};

}  // namespace

// SetupDiGetClassDevsA: the devices of the Enum tree (of one enumerator when
// given) of a class, or of every class with DIGCF_ALLCLASSES.
// INVALID_HANDLE_VALUE with ERROR_INVALID_PARAMETER when neither a class nor
// DIGCF_ALLCLASSES is given.
extern "C" HDEVINFO WINAPI SetupDiGetClassDevsA(CONST GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent,
                                                DWORD Flags) {
  (void)hwndParent;
  if (!ClassGuid && !(Flags & DIGCF_ALLCLASSES)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto set = std::make_unique<DeviceSet>();
  for (const auto& enumerator : reg::subKeys(reg::Hive::LocalMachine, kEnum)) {
    if (Enumerator && *Enumerator && !winsim::iequals(enumerator, Enumerator)) continue;
    const std::string enumPath = std::string(kEnum) + "\\" + enumerator;
    for (const auto& device : reg::subKeys(reg::Hive::LocalMachine, enumPath)) {
      const std::string devicePath = enumPath + "\\" + device;
      for (const auto& instance : reg::subKeys(reg::Hive::LocalMachine, devicePath)) {
        const std::string key = devicePath + "\\" + instance;
        Device d;
        d.instanceId = enumerator + "\\" + device + "\\" + instance;
        parseGuid(reg::getString(reg::Hive::LocalMachine, key, "ClassGUID"), &d.classGuid);
        if (!(Flags & DIGCF_ALLCLASSES) && std::memcmp(&d.classGuid, ClassGuid, sizeof(GUID)) != 0) continue;
        set->devices.push_back(std::move(d));
      }
    }
  }
  std::lock_guard<std::mutex> guard(g_mutex);
  DeviceSet* raw = set.release();
  openSets().insert(raw);
  SetLastError(ERROR_SUCCESS);
  return raw;
}

// SetupDiEnumDeviceInfo: the member of a set by index. FALSE with
// ERROR_INVALID_HANDLE, ERROR_INVALID_USER_BUFFER (wrong cbSize) or
// ERROR_NO_MORE_ITEMS after the last member.
extern "C" BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                             PSP_DEVINFO_DATA DeviceInfoData) {
  DeviceSet* set = lookupSet(DeviceInfoSet);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!DeviceInfoData || DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (MemberIndex >= set->devices.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  DeviceInfoData->ClassGuid = set->devices[MemberIndex].classGuid;
  DeviceInfoData->DevInst = MemberIndex + 1;
  DeviceInfoData->Reserved = MemberIndex + 1;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// SetupDiGetDeviceRegistryPropertyA: a property of a member as the registry
// holds it (an indirect "@file,%key%;text" description gives its text).
// FALSE with ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER (not a member),
// ERROR_INVALID_REG_PROPERTY, ERROR_INVALID_DATA (absent) or
// ERROR_INSUFFICIENT_BUFFER (*RequiredSize set).
extern "C" BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                                         DWORD Property, PDWORD PropertyRegDataType,
                                                         PBYTE PropertyBuffer, DWORD PropertyBufferSize,
                                                         PDWORD RequiredSize) {
  DeviceSet* set = lookupSet(DeviceInfoSet);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const Device* device = memberOf(set, DeviceInfoData);
  if (!device) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (Property >= SPDRP_MAXIMUM_PROPERTY) {
    SetLastError(ERROR_INVALID_REG_PROPERTY);
    return FALSE;
  }
  const char* valueName = nullptr;
  for (const auto& p : kProperties) {
    if (p.property == Property) valueName = p.value;
  }
  auto value = valueName ? reg::getValue(reg::Hive::LocalMachine, std::string(kEnum) + "\\" + device->instanceId,
                                         valueName)
                         : std::nullopt;
  if (!value) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  std::vector<BYTE> data = value->data;
  if (Property == SPDRP_DEVICEDESC && !data.empty() && data[0] == '@') {
    const std::string text(data.begin(), data.end());
    const size_t semi = text.find(';');
    if (semi != std::string::npos) data.assign(text.begin() + static_cast<long>(semi) + 1, text.end());
  }
  if (PropertyRegDataType) *PropertyRegDataType = value->type;
  if (RequiredSize) *RequiredSize = static_cast<DWORD>(data.size());
  if (!PropertyBuffer || PropertyBufferSize < data.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(PropertyBuffer, data.data(), data.size());
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// SetupDiGetDeviceInstanceIdA: "<enumerator>\<device>\<instance>" of a
// member. FALSE with ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER or
// ERROR_INSUFFICIENT_BUFFER (*RequiredSize set, in characters with the NUL).
extern "C" BOOL WINAPI SetupDiGetDeviceInstanceIdA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                                   PSTR DeviceInstanceId, DWORD DeviceInstanceIdSize,
                                                   PDWORD RequiredSize) {
  DeviceSet* set = lookupSet(DeviceInfoSet);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const Device* device = memberOf(set, DeviceInfoData);
  if (!device) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD need = static_cast<DWORD>(device->instanceId.size() + 1);
  if (RequiredSize) *RequiredSize = need;
  if (!DeviceInstanceId || DeviceInstanceIdSize < need) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(DeviceInstanceId, device->instanceId.c_str(), need);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// SetupDiDestroyDeviceInfoList: frees a set. FALSE with ERROR_INVALID_HANDLE.
extern "C" BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
  std::unique_ptr<DeviceSet> owned;
  {
    std::lock_guard<std::mutex> guard(g_mutex);
    auto* s = static_cast<DeviceSet*>(DeviceInfoSet);
    if (!openSets().erase(s)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    owned.reset(s);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// SetupDiSetClassInstallParamsA: keeps the parameters of the next class
// installer call for a set. FALSE with ERROR_INVALID_HANDLE or
// ERROR_INVALID_USER_BUFFER (a header of the wrong size).
extern "C" BOOL WINAPI SetupDiSetClassInstallParamsA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                                     PSP_CLASSINSTALL_HEADER ClassInstallParams,
                                                     DWORD ClassInstallParamsSize) {
  (void)DeviceInfoData;
  DeviceSet* set = lookupSet(DeviceInfoSet);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (ClassInstallParams &&
      (ClassInstallParams->cbSize != sizeof(SP_CLASSINSTALL_HEADER) || ClassInstallParamsSize < sizeof(SP_CLASSINSTALL_HEADER))) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  const auto* bytes = reinterpret_cast<const BYTE*>(ClassInstallParams);
  set->classInstallParams.assign(bytes, bytes + (ClassInstallParams ? ClassInstallParamsSize : 0));
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// SetupDiCallClassInstaller: winsim has no class installers to run; the
// call fails with ERROR_CALL_NOT_IMPLEMENTED (ERROR_INVALID_HANDLE for a bad
// set) rather than claim an installation that did not happen.
extern "C" BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                                 PSP_DEVINFO_DATA DeviceInfoData) {
  (void)InstallFunction;
  (void)DeviceInfoData;
  SetLastError(lookupSet(DeviceInfoSet) ? ERROR_CALL_NOT_IMPLEMENTED : ERROR_INVALID_HANDLE);
  return FALSE;
}
