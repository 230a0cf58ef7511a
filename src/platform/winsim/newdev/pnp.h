// winsim: plug and play of USB printers over the registry's Enum tree.
//
// A USB printer is two device instances, as Windows keeps them:
//   Enum\USB\<VID_xxxx&PID_xxxx>\<serial>     the USB device, Service "usbprint",
//                                             with the ParentIdPrefix of its child
//   Enum\USBPRINT\<model>\<prefix>&USB001     the printer, HardwareID, DeviceDesc,
//                                             Class "Printer" once installed
// The printer carries its ID in both forms Windows gives it: the hardware ID
// "USBPRINT\<model>" and the compatible ID "<model>"; a driver of either
// form installs it.
// Installing the printer device finds a driver the spooler holds whose
// hardware ID is the device's, creates a port USB001, USB002, ... and a
// printer object on it named after the driver. A device without such a
// driver is left with ConfigFlags 0x40 (CONFIGFLAG_FAILEDINSTALL) and no
// class, as Windows leaves an unknown device.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace winsim::pnp {

struct PlugRequest {
  std::string hardwareId;   // "USBPRINT\HalvernKV-5000A1B2"
  std::string description;  // the description the device reports (empty: the model part)
  std::string vid = "VID_0A5F", pid;  // pid empty: derived from the order of plugging
  bool unknown = false;     // leave the device without a driver even when one matches
};

struct PlugResult {
  std::string usbInstance;    // "USB\VID_0A5F&PID_0001\5&1A2B3C&0&1"
  std::string printInstance;  // "USBPRINT\HalvernKV-5000A1B2\7&2C3D&0&USB001"
  bool installed = false;
  std::string printerName, portName;
};

// Adds the device entries and installs the printer device when a driver
// matches. Does not broadcast. False with `error` when the ID is malformed
// or the registry cannot be written.
bool plugPrinter(const PlugRequest& request, PlugResult* result, std::string* error);
// Removes the device entries of a hardware ID (the printer object stays, as
// on Windows). The number of printer instances removed.
int unplugPrinter(const std::string& hardwareId);

struct DeviceLine {
  std::string instance, hardwareId, description, deviceClass;
  std::vector<std::string> ids;  // every hardware ID, then every compatible ID
  DWORD configFlags = 0;
};
std::vector<DeviceLine> usbPrinters();

// Installs the printer device instance (its Enum path below
// "SYSTEM\CurrentControlSet\Enum\"): ERROR_SUCCESS, or
// ERROR_NO_DRIVER_SELECTED when the spooler holds no driver for its
// hardware ID (the device is then marked as failed).
DWORD installPrinterInstance(const std::string& printInstance, PlugResult* result);

// Broadcasts the arrival of a USB device interface (GUID_DEVINTERFACE_USB_DEVICE)
// to every registered window; the number of windows reached.
int broadcastArrival(const std::string& instance);

}  // namespace winsim::pnp
