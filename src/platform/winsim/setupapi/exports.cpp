// winsim: the export table of SetupApi.DLL, which the program reaches only
// through LoadLibraryA and GetProcAddress.
#include <windows.h>
#include <setupapi.h>

#include "modules.h"

static const winsim::ExportRegistrar kSetupApiExports("setupapi.dll", {
    WINSIM_EXPORT(SetupOpenInfFileA),
    WINSIM_EXPORT(SetupCloseInfFile),
    WINSIM_EXPORT(SetupGetInfInformationA),
    WINSIM_EXPORT(SetupQueryInfVersionInformationA),
    WINSIM_EXPORT(SetupOpenAppendInfFileA),
    WINSIM_EXPORT(SetupPromptForDiskA),
    WINSIM_EXPORT(SetupGetLineTextA),
    WINSIM_EXPORT(SetupFindFirstLineA),
    WINSIM_EXPORT(SetupFindNextLine),
    WINSIM_EXPORT(SetupFindNextMatchLineA),
    WINSIM_EXPORT(SetupGetStringFieldA),
    WINSIM_EXPORT(SetupGetIntField),
    WINSIM_EXPORT(SetupGetFieldCount),
    WINSIM_EXPORT(SetupGetLineCountA),
    WINSIM_EXPORT(SetupGetLineByIndexA),
    WINSIM_EXPORT(SetupGetTargetPathA),
    WINSIM_EXPORT(SetupCopyOEMInfA),
    WINSIM_EXPORT(SetupOpenFileQueue),
    WINSIM_EXPORT(SetupCloseFileQueue),
    WINSIM_EXPORT(SetupQueueCopyA),
    WINSIM_EXPORT(SetupCommitFileQueueA),
    WINSIM_EXPORT(SetupDefaultQueueCallbackA),
    WINSIM_EXPORT(SetupInitDefaultQueueCallback),
    WINSIM_EXPORT(SetupTermDefaultQueueCallback),
    WINSIM_EXPORT(SetupGetSourceFileLocationA),
    WINSIM_EXPORT(SetupGetSourceInfoA),
    WINSIM_EXPORT(SetupInstallFromInfSectionA),
    WINSIM_EXPORT(SetupDecompressOrCopyFileA),
    WINSIM_EXPORT(SetupGetFileCompressionInfoA),
    WINSIM_EXPORT(SetupDiGetClassDevsA),
    WINSIM_EXPORT(SetupDiEnumDeviceInfo),
    WINSIM_EXPORT(SetupDiGetDeviceRegistryPropertyA),
    WINSIM_EXPORT(SetupDiDestroyDeviceInfoList),
    WINSIM_EXPORT(SetupDiCallClassInstaller),
    WINSIM_EXPORT(SetupDiSetClassInstallParamsA),
    WINSIM_EXPORT(SetupDiGetDeviceInstanceIdA),
});
