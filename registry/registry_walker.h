// RegistryWalker: opens keys by path below HKEY_LOCAL_MACHINE, reads and
// writes values in the 261-byte buffers the cleanup uses, and answers the
// device questions of the cleanup (a device instance's driver key, its COM
// port, the OEM INF that installed its driver).
//
// Every operation returns 1 for success and 0 for failure. A missing key or
// value is not a failure: the open yields no handle (null) and the caller
// has nothing to do. Every other registry error is shown to the user
// (ShowSystemError) by the operation that met it. A handle an operation hands
// out belongs to its caller; every other handle is closed on every path.
#pragma once
#include "platform/win_types.h"

// Buffers for key names, value names and value data.
constexpr int kRegTextCapacity = 261;
constexpr int kRegTextLimit = kRegTextCapacity - 1;

class DaclBackup;

class RegistryWalker {
 public:
  explicit RegistryWalker(int osKind) : osKind_(osKind) {}
  ~RegistryWalker() = default;

  // Opens `name` below `parent` with `access` (KEY_READ is always added).
  int OpenKey(HKEY parent, const char* name, REGSAM access, HKEY* key);
  // Opens the last component of a backslash-separated path below `root`,
  // each intermediate component with KEY_READ. A component that is exactly
  // "HKEY_LOCAL_MACHINE" names the root and is skipped. An empty path, or
  // one ending in a backslash, yields the last key the walk opened (none for
  // an empty path). A component longer than 260 characters fails the open
  // before anything is opened.
  int OpenKeyPath(HKEY root, const char* path, REGSAM access, HKEY* key);
  // OpenKeyPath of a string-table path; 0 when the text cannot be loaded.
  int OpenKeyById(HKEY root, int pathId, REGSAM access, HKEY* key);

  // Reads a value into `data` (at most *size bytes of it); *size and *type
  // receive the value's size and type. No key or no value: 1, nothing
  // touched. Values longer than 261 bytes cannot be read (shown, 0).
  int ReadValue(HKEY key, const char* name, void* data, DWORD* size, DWORD* type);
  int ReadSubkeyValue(HKEY parent, const char* subKey, const char* name, void* data, DWORD* size,
                      DWORD* type);
  // Writes a value of an existing sub-key; a missing sub-key gets nothing (1).
  int WriteSubkeyValue(HKEY parent, const char* subKey, const char* name, const void* data,
                       DWORD size, DWORD type);

  // Reads a text value of the sub-key into `text` (261 bytes). Only text
  // types count, and only a text that ends within the 261 bytes; anything
  // else leaves `text` empty, as a missing value does.
  int ReadSubkeyText(HKEY parent, const char* subKey, const char* name, char* text);

  // Splits the instance's "Driver" value ("{class}\0003") into the class key
  // name and the driver-instance name (261-byte buffers, both left empty when
  // the data has no backslash, an empty part or a second backslash).
  int ReadDriverKey(HKEY deviceKey, const char* instance, char* className, char* driverInstance);
  // "PortName" of the instance's "Device Parameters" (261 bytes; empty when missing).
  int ReadPortName(HKEY deviceKey, const char* instance, char* portName);
  // The decimal number after the first three characters of the port name
  // (COM12 gives 12); 0 when there is none.
  int ReadPortNumber(HKEY deviceKey, const char* instance, long* number);
  // The stem (oem12 for oem12.inf) of the INF that installed the driver of
  // the device's first usable instance. 0 and an empty stem when none.
  int FindDriverInfStem(HKEY root, const char* deviceKeyPath, char* stem);

  // Gives the local Administrators group full control of the key
  // basePath\relativePath below HKEY_LOCAL_MACHINE. 0 without a message when
  // the joined path does not fit in 260 characters. With `formerDacl`, the
  // DACL the key had is kept there for RestoreKeyAccess.
  int GrantKeyAccess(const char* basePath, const char* relativePath,
                     DaclBackup* formerDacl = nullptr);
  // Gives the key back the DACL it had before GrantKeyAccess: a key whose
  // deletion failed must not stay open to more than it was. 1 when there was
  // nothing to give back; a failure is shown.
  int RestoreKeyAccess(const char* basePath, const char* relativePath,
                       const DaclBackup& formerDacl);

 private:
  int osKind_;
};

// A key's DACL as it was before the grant changed it (the self-relative
// descriptor RegGetKeySecurity gave, on the process heap). Empty when the
// grant changed nothing.
class DaclBackup {
 public:
  DaclBackup() = default;
  ~DaclBackup();
  DaclBackup(const DaclBackup&) = delete;
  DaclBackup& operator=(const DaclBackup&) = delete;

  // Keeps a copy of the descriptor; false when no memory is left.
  bool Keep(const void* descriptor, DWORD size);
  bool Empty() const { return block_ == nullptr; }
  // Writes the kept DACL back to the key; 0 or the Win32 error code.
  DWORD Restore(HKEY root, const char* path) const;

 private:
  void* block_ = nullptr;
};

// Adds an access-allowed ACE for BUILTIN\Administrators with KEY_ALL_ACCESS
// to the end of the key's DACL. Returns 0 or the Win32 error code of the
// step that failed. A key that cannot be opened to change its DACL, and a
// key without a DACL (which already grants everyone full access), are left
// as they are and count as success. With `formerDacl`, the descriptor the
// key had is kept there before it is changed (and nothing is changed when
// it cannot be kept).
DWORD AddAdministratorsFullControl(HKEY root, const char* path, DaclBackup* formerDacl = nullptr);
