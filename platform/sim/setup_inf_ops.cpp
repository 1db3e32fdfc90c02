// The INF operations of the Setup API on the simulated machine: opening and
// reading INF files, and the OEM INF store. Failures leave Windows' error
// code as the thread's last error.
#include <cstring>

#include "platform/setup_api.h"
#include "platform/sim/driver_store.h"
#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"

namespace plat {

namespace {

sim::Machine& Machine() { return sim::CurrentMachine(); }

BOOL FailWith(DWORD error) {
  sim::SetError(error);
  return FALSE;
}

const sim::InfFile* OpenInf(HINF inf) {
  uintptr_t value = sim::HandleValue(inf);
  if (!Machine().handles.IsOpen(value, sim::HandleKind::InfFile)) return nullptr;
  return Machine().infs.Find(value);
}

// Copies `text` out as the Setup API does: the size with the terminator is
// reported when asked for; a null buffer only asks for it.
BOOL CopyOut(const std::string& text, LPSTR buffer, DWORD size, PDWORD requiredSize) {
  DWORD needed = static_cast<DWORD>(text.size() + 1);
  if (requiredSize) *requiredSize = needed;
  if (buffer) {
    if (size < needed) return FailWith(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, text.c_str(), needed);
  }
  sim::SetError(ERROR_SUCCESS);
  return TRUE;
}

}  // namespace

HINF SetupOpenInfFileA(LPCSTR fileName, LPCSTR infClass, DWORD infStyle, PUINT errorLine) {
  uint32_t error = 0;
  if (sim::EnterCall("SetupOpenInfFileA", &error)) return INVALID_HANDLE_VALUE;
  if (!fileName) {
    sim::SetError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  Machine().infs.opened.push_back(fileName);
  sim::InfFile inf;
  unsigned line = 0;
  error = Machine().infs.Load(Machine().files, fileName, infStyle, Machine().options().codePage,
                              Machine().options().languageId, &inf, &line);
  bool otherClass = infClass && !sim::SameInfName(inf.VersionValue("Class"), infClass);
  if (error == ERROR_SUCCESS && otherClass) error = ERROR_CLASS_MISMATCH;
  if (errorLine) *errorLine = line;
  if (error != ERROR_SUCCESS) {
    sim::SetError(error);
    return INVALID_HANDLE_VALUE;
  }
  uintptr_t handle = Machine().handles.Open(sim::HandleKind::InfFile);
  Machine().infs.Bind(handle, std::move(inf));
  sim::SetError(ERROR_SUCCESS);
  return reinterpret_cast<HINF>(handle);
}

BOOL SetupFindFirstLineA(HINF inf, LPCSTR section, LPCSTR key, PINFCONTEXT context) {
  uint32_t error = 0;
  if (sim::EnterCall("SetupFindFirstLineA", &error)) return FALSE;
  const sim::InfFile* file = OpenInf(inf);
  if (!file) return FailWith(ERROR_INVALID_HANDLE);
  if (!section || !context) return FailWith(ERROR_INVALID_PARAMETER);
  int index = file->FindSection(section);
  if (index < 0) return FailWith(ERROR_LINE_NOT_FOUND);
  const sim::InfSection& found = file->Section(index);
  for (size_t line = 0; line < found.lines.size(); ++line) {
    const sim::InfLine& candidate = found.lines[line];
    if (key && !(candidate.hasKey && sim::SameInfName(candidate.key, key))) continue;
    context->Inf = inf;
    context->CurrentInf = inf;
    context->Section = static_cast<UINT>(index);
    context->Line = static_cast<UINT>(line);
    sim::SetError(ERROR_SUCCESS);
    return TRUE;
  }
  return FailWith(ERROR_LINE_NOT_FOUND);
}

BOOL SetupGetStringFieldA(PINFCONTEXT context, DWORD fieldIndex, LPSTR buffer, DWORD size,
                          PDWORD requiredSize) {
  uint32_t error = 0;
  if (sim::EnterCall("SetupGetStringFieldA", &error)) return FALSE;
  if (!context) return FailWith(ERROR_INVALID_PARAMETER);
  const sim::InfFile* file = OpenInf(context->CurrentInf);
  if (!file) return FailWith(ERROR_INVALID_HANDLE);
  if (context->Section >= file->SectionCount()) return FailWith(ERROR_INVALID_PARAMETER);
  const sim::InfSection& section = file->Section(static_cast<int>(context->Section));
  if (context->Line >= section.lines.size()) return FailWith(ERROR_INVALID_PARAMETER);
  const sim::InfLine& line = section.lines[context->Line];
  if (fieldIndex == 0) {
    if (!line.hasKey) return FailWith(ERROR_INVALID_PARAMETER);
    return CopyOut(line.key, buffer, size, requiredSize);
  }
  if (fieldIndex > line.fields.size()) return FailWith(ERROR_INVALID_PARAMETER);
  return CopyOut(line.fields[fieldIndex - 1], buffer, size, requiredSize);
}

// The line after contextIn's in the same section, whatever its key; past the
// section's last line the call fails with ERROR_LINE_NOT_FOUND.
BOOL SetupFindNextLine(PINFCONTEXT contextIn, PINFCONTEXT contextOut) {
  uint32_t error = 0;
  if (sim::EnterCall("SetupFindNextLine", &error)) return FALSE;
  if (!contextIn || !contextOut) return FailWith(ERROR_INVALID_PARAMETER);
  const sim::InfFile* file = OpenInf(contextIn->CurrentInf);
  if (!file) return FailWith(ERROR_INVALID_HANDLE);
  if (contextIn->Section >= file->SectionCount()) return FailWith(ERROR_INVALID_PARAMETER);
  const sim::InfSection& section = file->Section(static_cast<int>(contextIn->Section));
  if (contextIn->Line + 1 >= section.lines.size()) return FailWith(ERROR_LINE_NOT_FOUND);
  *contextOut = *contextIn;
  contextOut->Line = contextIn->Line + 1;
  sim::SetError(ERROR_SUCCESS);
  return TRUE;
}

void SetupCloseInfFile(HINF inf) {
  uint32_t error = 0;
  if (sim::EnterCall("SetupCloseInfFile", &error)) return;
  uintptr_t value = sim::HandleValue(inf);
  if (Machine().handles.Close(value, sim::HandleKind::InfFile)) Machine().infs.Unbind(value);
}

BOOL SetupCopyOEMInfA(LPCSTR sourceInf, LPCSTR mediaRoot, DWORD mediaType, DWORD copyStyle,
                      LPSTR destination, DWORD destinationSize, PDWORD requiredSize,
                      LPSTR* destinationFilePart) {
  uint32_t error = 0;
  if (sim::EnterCall("SetupCopyOEMInfA", &error)) return FALSE;
  (void)mediaRoot;
  if (!sourceInf || mediaType > SPOST_URL) return FailWith(ERROR_INVALID_PARAMETER);
  bool mayWrite = !Machine().IsNt() || Machine().options().administrator;
  std::string stored;
  error = Machine().infs.CopyOemInf(Machine().files, Machine().registry,
                                    sim::StoreRulesOf(Machine().options()), sourceInf, copyStyle,
                                    mayWrite, Machine().options().codePage, &stored);
  if (stored.empty()) return FailWith(error);
  // The name is reported even when the INF was already there.
  BOOL copied = CopyOut(stored, destination, destinationSize, requiredSize);
  if (copied && destination && destinationFilePart) {
    *destinationFilePart = destination + stored.rfind('\\') + 1;
  }
  if (error != ERROR_SUCCESS) return FailWith(error);
  return copied;
}

// Windows XP brought the function: on the earlier versions setupapi.dll
// lacks it, and the program's lookup fails with ERROR_PROC_NOT_FOUND.
BOOL SetupUninstallOEMInfA(LPCSTR infFileName, DWORD flags, PVOID reserved) {
  uint32_t error = 0;
  if (sim::EnterCall("SetupUninstallOEMInfA", &error)) return FALSE;
  if (Machine().options().version < sim::WindowsVersion::WindowsXPSP1) {
    return FailWith(ERROR_PROC_NOT_FOUND);
  }
  if (!infFileName || reserved) return FailWith(ERROR_INVALID_PARAMETER);
  error = Machine().infs.UninstallOemInf(Machine().files, Machine().registry,
                                         sim::StoreRulesOf(Machine().options()), infFileName,
                                         flags, Machine().options().administrator);
  if (error != ERROR_SUCCESS) return FailWith(error);
  sim::SetError(ERROR_SUCCESS);
  return TRUE;
}

// Vista brought the driver store and the function. The store copy of an INF
// that is not published, or whose package the store does not hold, is not
// found.
BOOL SetupGetInfDriverStoreLocationA(LPCSTR fileName, PVOID alternatePlatformInfo,
                                     LPCSTR localeName, LPSTR returnBuffer,
                                     DWORD returnBufferSize, PDWORD requiredSize) {
  uint32_t error = 0;
  if (sim::EnterCall("SetupGetInfDriverStoreLocationA", &error)) return FALSE;
  (void)alternatePlatformInfo;
  (void)localeName;
  if (Machine().options().version < sim::WindowsVersion::WindowsVista) {
    return FailWith(ERROR_PROC_NOT_FOUND);
  }
  if (!fileName) return FailWith(ERROR_INVALID_PARAMETER);
  std::string name = fileName;
  size_t cut = name.find_last_of("\\/");
  if (cut != std::string::npos) name = name.substr(cut + 1);
  std::string id = sim::DriverStore::PackageOf(Machine().files, Machine().registry, name);
  std::string location = id.empty() ? "" : sim::DriverStore::PackageInf(Machine().files, id);
  if (location.empty()) return FailWith(ERROR_FILE_NOT_FOUND);
  if (!CopyOut(location, returnBuffer, returnBufferSize, requiredSize)) return FALSE;
  sim::SetError(ERROR_SUCCESS);
  return TRUE;
}

}  // namespace plat
