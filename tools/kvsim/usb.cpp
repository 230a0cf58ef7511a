// kvsim usb: plug in and unplug USB printers, as a person does at the machine.
#include <cstdio>
#include <cstdlib>

#include "kvsim.h"
#include "machine.h"
#include "newdev/pnp.h"

namespace kvsim {
namespace {

int runUsb(const Args& args) {
  if (args.empty()) return fail("usb: expected plug, unplug or list (see kvsim usb --help)");
  const std::string& verb = args[0];
  if (verb == "list") {
    if (args.size() != 1) return fail("usb list: no arguments expected");
    for (const auto& d : winsim::pnp::usbPrinters()) {
      std::printf("%s\t%s\t%s\t%s\t0x%08x\n", d.instance.c_str(), d.hardwareId.c_str(), d.description.c_str(),
                  d.deviceClass.c_str(), static_cast<unsigned>(d.configFlags));
    }
    return 0;
  }
  if (verb != "plug" && verb != "unplug") return fail("usb: unknown action '" + verb + "'");
  winsim::pnp::PlugRequest request;
  int count = 1;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* option) -> const std::string* {
      if (i + 1 >= args.size()) return nullptr;
      (void)option;
      return &args[++i];
    };
    if (a == "--hwid" || a == "--description" || a == "--desc" || a == "--vid" || a == "--pid" || a == "--count") {
      const std::string* v = value(a.c_str());
      if (!v) return fail("usb " + verb + ": " + a + " needs a value");
      if (a == "--hwid") request.hardwareId = *v;
      else if (a == "--vid") request.vid = *v;
      else if (a == "--pid") request.pid = *v;
      else if (a == "--count") count = std::atoi(v->c_str());
      else request.description = *v;
    } else if (a == "--unknown" || a == "--no-driver") {
      request.unknown = true;
    } else if (!a.empty() && a[0] == '-') {
      return fail("usb " + verb + ": unknown option '" + a + "'");
    } else if (request.hardwareId.empty()) {
      request.hardwareId = a;
    } else {
      return fail("usb " + verb + ": more than one hardware ID given");
    }
  }
  if (request.hardwareId.empty()) return fail("usb " + verb + ": expected MODEL-HARDWARE-ID");
  if (verb == "unplug") {
    const int removed = winsim::pnp::unplugPrinter(request.hardwareId);
    if (removed == 0) return fail("usb unplug: no device '" + request.hardwareId + "' is plugged in");
    std::printf("unplugged %d device(s)\n", removed);
    return 0;
  }
  if (count < 1 || count > 8) return fail("usb plug: --count must be 1 to 8");
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

const Registrar reg({"usb", "plug in, unplug or list USB printers",
                     "usage: kvsim [--root DIR] usb plug [--hwid] USBPRINT\\MODEL [--description TEXT]\n"
                     "                                [--vid VID_xxxx] [--pid PID_xxxx] [--unknown] [--count N]\n"
                     "       kvsim [--root DIR] usb unplug [--hwid] USBPRINT\\MODEL\n"
                     "       kvsim [--root DIR] usb list\n"
                     "plug: adds the USB device and its USBPRINT printer device to the Enum tree.\n"
                     "When the spooler holds a driver whose hardware ID is MODEL's, the device is\n"
                     "installed: a port USB001, USB002, ... and a printer object named after the\n"
                     "driver are created. Otherwise (or with --unknown, alias --no-driver) the device\n"
                     "stays without a driver (ConfigFlags 0x40). Then WM_DEVICECHANGE with\n"
                     "DBT_DEVICEARRIVAL goes to every window registered for USB device interfaces.\n"
                     "--count N plugs N such devices at once, and only then announces them.\n"
                     "Prints one line per device: instance, printer (or \"(no driver)\"), port.\n"
                     "unplug: removes the devices of that ID; printers and ports stay.\n"
                     "list: instance, hardware ID, description, class, ConfigFlags, one a line.\n",
                     runUsb});

}  // namespace
}  // namespace kvsim
