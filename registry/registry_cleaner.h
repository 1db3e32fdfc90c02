// RegistryCleaner: the registry half of an uninstall. Clean runs the
// cleanup plan for the Windows version (OsKind); the other operations are
// its steps and the deletion primitives they stand on. Every operation
// opens and reads through a RegistryWalker of the same OsKind, closes what
// it opened on every path, and returns 1 for success and 0 for failure; a
// missing key or value is never a failure. Registry errors are shown by the
// operation that met them; the plan goes on past every failure.
#pragma once
#include "platform/win_types.h"
#include "registry/name_match.h"

class RegistryCleaner {
 public:
  explicit RegistryCleaner(int osKind) : osKind_(osKind) {}
  ~RegistryCleaner() = default;

  // Removes every registry trace of the phone's drivers. Always 1.
  int Clean();

  // --- Deletion primitives --------------------------------------------------------
  int DeleteKey(HKEY parent, const char* name);
  int DeleteValue(HKEY key, const char* name);
  int DeleteValueAt(HKEY root, const char* path, const char* name);
  // One key deletion of the named sub-key: Windows 95/98/Me take its sub-keys
  // with it, the NT family refuses a key that has any (shown).
  int DeleteSubkeyById(HKEY root, int pathId, int nameId);
  // Deletes the key and everything below it, leaves first.
  int DeleteTree(HKEY parent, const char* name);
  // As DeleteTree, granting Administrators full control of each key right
  // before deleting it; `parentPath` is the parent's path below
  // HKEY_LOCAL_MACHINE. Stops with 0 where a path would exceed 260 characters.
  int DeleteTreeGranted(HKEY parent, const char* parentPath, const char* name);
  int DeleteTreeAt(HKEY root, int pathId, const char* name);
  int DeleteTreeAt(HKEY root, int pathId, int nameId);
  // Deletes every value of the key whose upper-cased name holds the
  // upper-cased pattern as the rule asks. An empty pattern deletes nothing
  // and gives 0: it would match every value.
  int DeleteValuesContaining(HKEY root, const char* path, const char* pattern, MatchRule rule);
  int DeleteValuesContaining(HKEY root, int pathId, const char* pattern, MatchRule rule);
  int DeleteValuesContaining(HKEY root, int pathId, int patternId, MatchRule rule);

  // --- Steps of the plan -------------------------------------------------------------
  // Deletes the class-tree driver keys that the device's instances name.
  int DeleteDriverKeys(const char* deviceKeyPath, const char* classTreePath);
  // Deletes the device interface keys whose "DeviceInstance" holds the ID.
  int DeleteInterfaceKeys(int deviceClassesPathId, int hardwareId);
  // Deletes the sub-keys whose "HardWareKey" holds the ID (Windows 95/98/Me).
  int DeletePhantomKeys(int pathId, int hardwareId);
  int RemoveProblemEntries();
  int RemoveOemNameEntries();

  // --- COM ports -----------------------------------------------------------------------
  // The first step of the plan on Windows 2000/XP: ReleaseComPorts for each
  // of the phone's interfaces in each control set.
  void ReleasePhoneComPorts();
  // Releases the COM numbers and "Ports" values of the interface's instances
  // in one control set (Windows 2000/XP).
  int ReleaseComPorts(HKEY root, int enumUsbPathId, int interfaceId, int controlPathId);
  // Clears port n's bit in the control set's "ComDB" bitmap.
  int ReleaseComDbBit(HKEY root, int controlPathId, long portNumber);
  // Deletes the serial-port map entries of the root-enumerated port device's
  // instances that sit on the phone (Windows 95/98/Me, NT 4).
  int RemoveSerialCommEntries();

 private:
  int DeleteTreeWalk(HKEY parent, const char* parentPath, const char* name);
  void CleanNt5();
  void CleanLegacy();
  int osKind_;
};
