// kvsim usb: plug in and unplug USB printers, as a person does at the machine.
#include <cstdio>
#include <cstdlib>

#include "kvsim.h"
#include "machine.h"
#include "newdev/pnp.h"

namespace kvsim {
namespace {

int listUsb() {
  for (const auto& d : winsim::pnp::usbPrinters()) {
    std::printf("%s\t%s\t%s\t%s\t0x%08x\n", d.instance.c_str(), d.hardwareId.c_str(), d.description.c_str(),
                d.deviceClass.c_str(), static_cast<unsigned>(d.configFlags));
  }
  return 0;
}

// The hardware ID is given alone or after --hwid, once.
struct Device {
  std::string positional, option;
};

bool hardwareId(const std::string& verb, const Device& d, std::string* id, int* status) {
  if (!d.positional.empty() && !d.option.empty()) {
    *status = usageError("usb " + verb + ": more than one hardware ID given");
    return false;
  }
  *id = d.positional.empty() ? d.option : d.positional;
  if (id->empty()) {
    *status = usageError("usb " + verb + ": expected MODEL-HARDWARE-ID (see kvsim usb --help)");
    return false;
  }
  return true;
}

int unplug(const Device& d) {
  std::string id;
  int status = 0;
  if (!hardwareId("unplug", d, &id, &status)) return status;
  const int removed = winsim::pnp::unplugPrinter(id);
  if (removed == 0) return fail("usb unplug: no device '" + id + "' is plugged in");
  std::printf("unplugged %d device(s)\n", removed);
  return 0;
}

int plug(const Device& d, winsim::pnp::PlugRequest request, int count) {
  int status = 0;
  if (!hardwareId("plug", d, &request.hardwareId, &status)) return status;
  std::vector<winsim::pnp::PlugResult> plugged;
  for (int n = 0; n < count; ++n) {
    winsim::pnp::PlugResult result;
    std::string error;
    if (!winsim::pnp::plugPrinter(request, &result, &error)) return fail("usb plug: " + error);
    plugged.push_back(result);
    request.pid.clear();
  }
  // Devices plugged together arrive before any window hears of them.
  int reached = 0;
  for (const auto& r : plugged) {
    std::printf("%s\t%s\t%s\n", r.printInstance.c_str(), r.installed ? r.printerName.c_str() : "(no driver)",
                r.installed ? r.portName.c_str() : "-");
    reached += winsim::pnp::broadcastArrival(r.usbInstance);
  }
  std::printf("arrival sent to %d window(s)\n", reached);
  return 0;
}

void setup(CLI::App& kvsim) {
  CLI::App* usb = addCommand(
      kvsim, "usb", "plug in, unplug or list USB printers",
      "usage: kvsim [--root DIR] usb plug [--hwid] USBPRINT\\MODEL [--description TEXT]\n"
      "                                [--vid VID_xxxx] [--pid PID_xxxx] [--unknown] [--count N]\n"
      "       kvsim [--root DIR] usb unplug [--hwid] USBPRINT\\MODEL\n"
      "       kvsim [--root DIR] usb list\n",
      "plug: adds the USB device and its USBPRINT printer device to the Enum tree.\n"
      "The printer device carries the hardware ID USBPRINT\\MODEL and the compatible\n"
      "ID MODEL, as Windows gives them. When the spooler holds a driver whose hardware\n"
      "ID is either of them, the device is\n"
      "installed: a port USB001, USB002, ... and a printer object named after the\n"
      "driver are created. Otherwise (or with --unknown, alias --no-driver) the device\n"
      "stays without a driver (ConfigFlags 0x40). Then WM_DEVICECHANGE with\n"
      "DBT_DEVICEARRIVAL goes to every window registered for USB device interfaces.\n"
      "--count N plugs N such devices at once, and only then announces them.\n"
      "Prints one line per device: instance, printer (or \"(no driver)\"), port.\n"
      "unplug: removes the devices of that ID; printers and ports stay.\n"
      "list: instance, hardware ID, description, class, ConfigFlags, one a line.\n");
  usb->require_subcommand(1);
  static Device plugged, unplugged;
  static winsim::pnp::PlugRequest request;
  static int count = 1;
  CLI::App* plugCmd = addCommand(*usb, "plug", "plug in a USB printer",
                                 "usage: kvsim [--root DIR] usb plug [--hwid] USBPRINT\\MODEL [--description TEXT]\n"
                                 "                                [--vid VID_xxxx] [--pid PID_xxxx] [--unknown] [--count N]\n");
  plugCmd->add_option("HWID", plugged.positional, "the printer's hardware ID (USBPRINT\\MODEL)");
  plugCmd->add_option("--hwid", plugged.option, "the same, as an option");
  plugCmd->add_option("--description,--desc", request.description, "the device's description");
  plugCmd->add_option("--vid", request.vid, "the vendor id (VID_xxxx)");
  plugCmd->add_option("--pid", request.pid, "the product id (PID_xxxx)");
  plugCmd->add_flag("--unknown,--no-driver", request.unknown, "the device stays without a driver");
  plugCmd->add_option("--count", count, "plug N such devices at once (1 to 8)")->check(CLI::Range(1, 8));
  onRun(plugCmd, [] { return plug(plugged, request, count); });
  CLI::App* unplugCmd = addCommand(*usb, "unplug", "unplug the devices of a hardware ID",
                                   "usage: kvsim [--root DIR] usb unplug [--hwid] USBPRINT\\MODEL\n");
  unplugCmd->add_option("HWID", unplugged.positional, "the printer's hardware ID (USBPRINT\\MODEL)");
  unplugCmd->add_option("--hwid", unplugged.option, "the same, as an option");
  onRun(unplugCmd, [] { return unplug(unplugged); });
  CLI::App* list = addCommand(*usb, "list", "the USB printers, one a line", "usage: kvsim [--root DIR] usb list\n");
  onRun(list, listUsb);
}

const Registrar kRegistrar("usb", setup);

}  // namespace
}  // namespace kvsim
