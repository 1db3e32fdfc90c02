// What a removal preview costs on a registry the size of a real Windows 7
// SYSTEM hive (about 30,000 keys): builds the machine description, runs the
// preview (image, removal step by step, comparison) and prints its time and
// the peak memory of the process.
//
// The description is a snapshot of a simulated Windows 7 machine with the
// phone installed and plugged in, grown by foreign entries shaped like a real
// hive: three control sets, each with thousands of device instances under
// Enum (with their Device Parameters and driver keys in Control\Class) and
// of services, and device interface keys.
//
// Usage: preview_bench [keys]   (default 30000)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/sim/machine.h"
#include "platform/sim/plug_and_play.h"
#include "preview/preview.h"
#include "preview/sim_snapshot.h"
#include "tests/sim_test_support.h"

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kUsbClass[] = "{36FC9E60-C465-11CF-8056-444553540000}";
const char kInterface[] = "{A5DCBF10-6530-11D2-901F-00C04FB951ED}";

// Adds foreign entries until the registry holds about `keys` keys. Every
// device takes 4 keys in each control set (instance, Device Parameters,
// driver key, interface) and every fifth device a service.
void GrowHive(sim::Machine& machine, size_t keys) {
  sim::RegistryModel& reg = machine.registry;
  const char* const sets[] = {"SYSTEM\\ControlSet001", "SYSTEM\\ControlSet002",
                              "SYSTEM\\ControlSet003"};
  size_t devices = keys / (3 * 4 + 1);
  for (const char* set : sets) {
    std::string base = set;
    for (size_t n = 0; n < devices; ++n) {
      char id[64], driver[32];
      std::snprintf(id, sizeof id, "VID_%04zX&PID_%04zX", 0x2000 + n % 97, n);
      std::snprintf(driver, sizeof driver, "%04zu", 100 + n);
      std::string instance = base + "\\Enum\\USB\\" + id + "\\7&1F2E3D4C&0&" + std::to_string(n);
      reg.SetString(kLm, instance, "ClassGUID", kUsbClass);
      reg.SetString(kLm, instance, "Driver", std::string(kUsbClass) + "\\" + driver);
      reg.SetMultiString(kLm, instance, "HardwareID", {std::string("USB\\") + id});
      reg.SetString(kLm, instance, "Service", "usbccgp");
      reg.SetString(kLm, instance + "\\Device Parameters", "SymbolicName",
                    "\\??\\USB#" + std::string(id));
      std::string driverKey = base + "\\Control\\Class\\" + kUsbClass + "\\" + driver;
      reg.SetString(kLm, driverKey, "DriverDesc", "USB Composite Device");
      reg.SetString(kLm, driverKey, "InfPath", "usb.inf");
      reg.SetString(kLm,
                    base + "\\Control\\DeviceClasses\\" + kInterface + "\\##?#USB#" + id + "#" +
                        std::to_string(n) + "#" + kInterface,
                    "DeviceInstance", std::string("USB\\") + id + "\\" + std::to_string(n));
      if (n % 5 == 0) {
        std::string service = base + "\\Services\\svc" + std::to_string(n);
        reg.SetDword(kLm, service, "Type", 1);
        reg.SetDword(kLm, service, "Start", 3);
        reg.SetString(kLm, service, "ImagePath", "system32\\drivers\\svc.sys");
      }
    }
  }
}

size_t CountKeys(const preview::MachineInput& input) {
  size_t keys = 0;
  for (const auto& [path, entry] : input.entries) keys += entry.kind == 'K';
  return keys;
}

}  // namespace

int main(int argc, char** argv) {
  size_t keys = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 30000;
  sim::Machine& machine = FreshMachine(OptionsFor(sim::WindowsVersion::Windows7));
  sim::PlugInPhone(machine);
  GrowHive(machine, keys);
  preview::MachineInput input = preview::MachineInputOfSim(machine);

  auto start = std::chrono::steady_clock::now();
  preview::PreviewResult result;
  std::string error;
  if (!preview::RunPreview(input, preview::PreviewOptions{}, &result, &error)) {
    std::fprintf(stderr, "preview_bench: %s\n", error.c_str());
    return 1;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  std::printf(
      "preview_bench: %zu keys, %zu entries; preview %.2f s, %zu changes; peak memory %ld MB\n",
      CountKeys(input), input.entries.size(), seconds, result.changes.size(),
      usage.ru_maxrss / 1024);
  return 0;
}
