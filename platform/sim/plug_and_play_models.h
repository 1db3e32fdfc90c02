// Which models sections of an INF the Plug and Play stand-in reads, and which
// install section and files a model line brings, by the machine's platform, as
// Windows chooses them (Microsoft, "INF Manufacturer Section", "INF Models
// Section", "INF DDInstall Section", SetupDiGetActualSectionToInstall):
//
//   Windows 95 to 2000: only the undecorated models section that [Manufacturer]
//     names; the decorations after it on the line are not read.
//   32-bit Windows XP and later: the decorated models section that fits best
//     (NTx86 or NT, with an optional OS version NTx86.6.0 not above the
//     running one; the highest version wins, and NTx86 over plain NT), and
//     the undecorated one only when no decoration fits.
//   64-bit Windows: only a section decorated NTamd64 (with an optional OS
//     version); an INF without one does not install there, as 64-bit
//     packages must decorate their models ("INF Manufacturer Section").
//
// The install section a model line names is looked up, from 2000 on, with
// the platform's extension first (.NTx86 or .NTamd64), then .NT, then as
// written; 95/98/Me read it as written. Its CopyFiles= lists give the driver
// files as "destination[,source]".
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace sim {
class Machine;
}

namespace sim::pnp {

// The install section (as the model line writes it) of the first model line
// that names the hardware ID in a models section the machine's platform reads;
// "" when none does (also when the text is no INF).
std::string InstallSectionFor(const Machine& machine, const std::string& infText,
                              const std::string& hardwareId);

// The driver files that install section copies on the machine's platform:
// pairs of (installed name, source name on the package). Empty when the INF
// has no such section or it copies nothing.
std::vector<std::pair<std::string, std::string>> InstallFilesFor(const Machine& machine,
                                                                 const std::string& infText,
                                                                 const std::string& section);

// Copies the files of the install section of the INF at infPath from the
// package into folder (a file the package lacks is skipped) and returns the
// installed names written.
std::vector<std::string> CopyInstallFiles(Machine& machine, const std::string& infPath,
                                          const std::string& section, const std::string& folder);

}  // namespace sim::pnp
