// The test driver CD of tests/data/cd (a "Setup" program folder with the
// branding INI and a sibling "Drivers" folder with our own INF files and
// dummy driver files), loaded into the simulated machine from the
// repository at test time.
#pragma once
#include <string>

#include "platform/sim/machine.h"

// The two kinds of test CD: tests/data/cd as it is, whose INF files name no
// catalog, and the signed variant made from it in the build tree
// (tests/make_signed_cd.cmake): each INF handed to the INF store names its
// catalog with CatalogFile= and a stand-in catalog lies beside it.
enum class CdVariant { Unsigned, Signed };

// Copies the test CD of that variant into the machine under `root` (such as
// "D:\\"), read-only as files on a CD are. Returns the number of files loaded.
int LoadDriverCd(sim::Machine& machine, const std::string& root,
                 CdVariant variant = CdVariant::Unsigned);

// The host folder of the variant's CD.
std::string DriverCdFolder(CdVariant variant);

// The phone installed as a user installs it: an installation run with the
// install switch (RunInstaller "/i") of the program the machine runs, from a
// CD that LoadDriverCd put where the program's folder is, whose wizard sees
// the phone's four functions plugged in one by one and ends with Next. The
// dialog script is cleared after it.
void InstallThePhoneFromCd(sim::Machine& machine);

// The text of a file under tests/data, such as "infs/other_maker.inf".
std::string FixtureText(const std::string& relativePath);
