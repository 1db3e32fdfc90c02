// Places the phone's driver package where Plug and Play finds it, and
// carries the folder, file-deletion and stale-INF operations that the
// uninstall reuses. Holds only the OsKind; every path is built in a local
// buffer of 261 characters.
#pragma once

class DriverInstaller {
 public:
  explicit DriverInstaller(int osKind) : osKind_(osKind) {}
  ~DriverInstaller() = default;
  DriverInstaller(const DriverInstaller&) = delete;
  DriverInstaller& operator=(const DriverInstaller&) = delete;

  // Places the package for the OsKind; 1 when every file is in place.
  int Install();
  // Hands the four NT INF files to the INF store.
  int CopyOemInfs();
  // 1 when the last CopyOemInfs stopped because Windows refused the
  // package for its signature.
  int SignatureRefused() const { return signatureRefused_; }
  // Copies the INF and driver files into the Windows folders (9x and NT 4).
  int CopyPackageFiles();
  // The "Drivers" folder beside the program's folder, without a trailing backslash.
  int GetPackageSourceFolder(char* folder);
  // Deletes the Windows 98/Me driver database files from the INF folder.
  int DeleteDriverDatabase();

  // Uninstalls every OEM INF of the INF folder that belongs to the phone:
  // through the system where it has SetupUninstallOEMInf (XP and later),
  // then by hand whatever of the INF, its PNF twin and its catalog is left.
  int RemoveStaleOemInfs();
  // 1 when the INF's maker section names the phone's hardware ID.
  int IsStaleOemInf(const char* infPath);

  // Windows folder paths, without a trailing backslash.
  int GetInfFolder(char* folder);
  int GetLastGoodInfFolder(char* folder);
  int GetDriversFolder(char* folder);
  int GetLastGoodDriversFolder(char* folder);
  // The folder SetupCopyOEMInf installs a package's catalog in, as oemN.cat.
  int GetCatalogFolder(char* folder);
  // Deletes one file after clearing its attributes; a missing file counts as deleted.
  int DeleteFileIfPresent(const char* path);

 private:
  // One OEM INF judged the phone's: `name` is its name in the INF folder,
  // `path` its full path. 0 when the INF is still there and could not be deleted.
  int UninstallStaleOemInf(const char* path, const char* name);

  int osKind_;
  int signatureRefused_ = 0;
};
