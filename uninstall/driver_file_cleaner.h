// Deletes what an installation of the phone's driver package left in the
// Windows folders: the INF files with their PNF twins, the driver files and,
// on Windows 98 and Me, the system's driver information database. On Windows
// 2000 and XP the installed INF names are found through the phone's device
// keys, so the cleaner runs before anything removes those keys; on XP it also
// takes the LastGood copies and the LastKnownGoodRecovery entries of the
// phone's INF files. The INF-store copies (oemN.inf) in the INF folder are
// left to the stale INF step, which uninstalls them after the devices.
#pragma once

class DriverInstaller;

class DriverFileCleaner {
 public:
  explicit DriverFileCleaner(int osKind) : osKind_(osKind) {}
  ~DriverFileCleaner() = default;
  DriverFileCleaner(const DriverFileCleaner&) = delete;
  DriverFileCleaner& operator=(const DriverFileCleaner&) = delete;

  // The INF step, the driver step and (98, Me) the database step. The result
  // of the driver step, or on 98 and Me that of the database step.
  int Clean();
  // 1 when the whole list was processed; 0 when a folder or a name could not
  // be built, which ends the step.
  int RemoveInfFiles();
  int RemoveDriverFiles();
  // Deletes folder\stem.extension. A name that does not fit in 260
  // characters is not deleted (0).
  int DeleteComposedFile(DriverInstaller& installer, const char* folder, const char* stem,
                         const char* extension);

 private:
  int RemoveOemInfFiles(DriverInstaller& installer);
  void RemoveNamedInf(DriverInstaller& installer, const char* infFolder,
                      const char* lastGoodFolder, const char* stem);
  int RemovePackageInfFiles(DriverInstaller& installer);
  int RemoveNtDriverFiles(DriverInstaller& installer);
  int RemoveLegacyDriverFiles(DriverInstaller& installer);

  int osKind_;
};

// Writes folder, a backslash (unless the folder ends with one), stem, '.' and
// extension into `target` (261 characters). 1 when all of it fits in 260
// characters; otherwise 0 with `target` emptied, so that a cut name never
// reaches the file system. A null target gives 0 and changes nothing.
int ComposeFileName(char* target, const char* folder, const char* stem, const char* extension);

// Whether an INF stem read from the registry may name a file to delete: the
// name the INF store gives a copy ("oem" and digits, any letter case) or the
// stem of one of the package's own INF files (the INF store of some systems
// keeps that name). Anything else, among them an empty stem, Windows' own
// INF files (a phone function driven by usb.inf) and names with a path
// separator, is never deleted. An "oem" name is only a candidate: the file
// it names goes only when its contents are the phone's (see RemoveNamedInf).
bool IsDeletableInfStem(const char* stem);

// Whether the stem is one of the package's own INF names (KV6bus, any case).
bool IsPackageInfStem(const char* stem);
