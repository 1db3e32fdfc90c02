// The driver store of Windows Vista and later, as the simulated machine keeps
// it.
//
// From Vista on, SetupCopyOEMInf first imports the whole driver package into
// the store, %windir%\System32\DriverStore\FileRepository\<inf>_<arch>_<hash>,
// and then publishes its INF as oemN.inf in the INF folder ("Driver Store",
// "How Setup Selects Drivers", Microsoft). Plug and Play installs a device
// from the store, so a package stays installable after its published INF is
// deleted by hand; only SetupUninstallOEMInf takes a package out of the store
// ("How Devices and Driver Packages are Uninstalled": "the driver package
// remains in the driver store" after a device is uninstalled).
//
// From Windows 8 on the store is indexed under HKLM\SYSTEM\DriverDatabase, as
// a real Windows 10 1709 registry shows it:
//   DriverInfFiles\oemN.inf   default (REG_MULTI_SZ) the package ids, and
//                             Active (REG_SZ) the one in use;
//   DriverPackages\<id>       default "oemN.inf", InfName, Catalog, OemPath,
//                             Provider;
//   DeviceIds\<bus>\<id>      a REG_BINARY value named oemN.inf for each
//                             hardware ID the package's models sections name.
// Vista and 7 keep their index in files; the sim finds a published INF's
// package there by its contents instead.
#pragma once
#include <string>
#include <vector>

#include "platform/sim/inf_parser.h"
#include "platform/sim/machine_options.h"

namespace sim {

class FileSystem;
class RegistryModel;

// What a Windows version's store does.
struct StoreRules {
  bool store = false;     // Vista and later: packages are staged in FileRepository
  bool database = false;  // Windows 8 and later: the DriverDatabase index
  // A package must name a catalog to be staged: every Windows from 8 on
  // refuses one without ("The third-party INF does not contain digital
  // signature information"). Vista and 7 ask the administrator whether to
  // install a driver they cannot verify and stage it when allowed; on their
  // 64-bit editions the kernel then refuses to load the unsigned driver
  // (kernel-mode code signing policy), which the sim does not model.
  bool catalogRequired = false;
  std::string arch;  // "x86" or "amd64", the middle of a package id
};
StoreRules StoreRulesOf(const MachineOptions& options);

class DriverStore {
 public:
  static std::string RepositoryFolder(const FileSystem& files);

  // The id a package gets: its INF's name in lower case, the architecture
  // and a hash of the INF and its catalog, "kv6bus.inf_x86_1a2b3c4d5e6f7081".
  static std::string PackageId(const std::string& infName, const std::string& arch,
                               const std::string& infText, const std::string& catalogText);

  // Copies the package of the INF `source` into the store: the INF, the
  // catalog it names and every file its SourceDisksFiles sections name
  // that lies beside it. Returns the package's folder.
  static std::string Stage(FileSystem& files, const std::string& source, const InfFile& inf,
                           const std::string& infText, const std::string& catalogName,
                           const std::string& id);

  // Writes the index entries of the package `id` published as `published`.
  static void Index(RegistryModel& registry, const std::string& published, const std::string& id,
                    const std::string& source, const InfFile& inf,
                    const std::string& catalogName);

  // The id of the store package published as `published` ("oem3.inf"), or
  // "" when none is: the index's Active entry where there is an index, else
  // the package whose INF has the published INF's contents.
  static std::string PackageOf(const FileSystem& files, const RegistryModel& registry,
                               const std::string& published);

  // Every package id in the store.
  static std::vector<std::string> Packages(const FileSystem& files);
  // The INF of a package in the store, as a full path ("" when not found).
  static std::string PackageInf(const FileSystem& files, const std::string& id);

  // Takes the package out of the store and, where there is an index, its
  // entries out of the index.
  static void Remove(FileSystem& files, RegistryModel& registry, const StoreRules& rules,
                     const std::string& published, const std::string& id);
};

}  // namespace sim
