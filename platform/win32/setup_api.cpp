// Setup API on Windows. setupapi.dll is not there on Windows 95 and NT 4's
// lacks the device functions, so nothing is imported from it: each function is
// looked up when it is first called, and a lookup that fails is reported like
// a failed call, with ERROR_PROC_NOT_FOUND. Only the 2000/XP steps call these.
#include "platform/setup_api.h"
#include "platform/system.h"

namespace plat {
namespace {

// The library stays loaded for the rest of the process once a function was
// needed: the functions found in it are kept. It is loaded from the system
// folder by its full path (platform/system_library.cpp says why).
HMODULE SetupApiModule() {
  static HMODULE module = LoadSystemLibrary("setupapi.dll");
  return module;
}

// The function of that name, or null when the library or the name is not there.
template <typename Function>
Function* Find(const char* name) {
  HMODULE module = SetupApiModule();
  FARPROC found = module ? ::GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(found));
}

// Declares `function`, the named Setup API function looked up on the first
// call; when it is missing, the error of this call is ERROR_PROC_NOT_FOUND.
#define SETUPAPI_FUNCTION(name)                                              \
  static decltype(&::name) const function = Find<decltype(::name)>(#name); \
  if (!function) ::SetLastError(ERROR_PROC_NOT_FOUND)

}  // namespace

HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR enumerator, HWND parent, DWORD flags) {
  SETUPAPI_FUNCTION(SetupDiGetClassDevsA);
  return function ? function(classGuid, enumerator, parent, flags) : INVALID_HANDLE_VALUE;
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device) {
  SETUPAPI_FUNCTION(SetupDiEnumDeviceInfo);
  return function ? function(set, index, device) : FALSE;
}

BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                       PDWORD type, PBYTE buffer, DWORD size, PDWORD requiredSize) {
  SETUPAPI_FUNCTION(SetupDiGetDeviceRegistryPropertyA);
  return function ? function(set, device, property, type, buffer, size, requiredSize) : FALSE;
}

BOOL SetupDiCallClassInstaller(DI_FUNCTION installFunction, HDEVINFO set,
                               PSP_DEVINFO_DATA device) {
  SETUPAPI_FUNCTION(SetupDiCallClassInstaller);
  return function ? function(installFunction, set, device) : FALSE;
}

BOOL SetupDiGetDeviceInstallParamsA(HDEVINFO set, PSP_DEVINFO_DATA device,
                                    PSP_DEVINSTALL_PARAMS_A params) {
  SETUPAPI_FUNCTION(SetupDiGetDeviceInstallParamsA);
  return function ? function(set, device, params) : FALSE;
}

BOOL SetupDiClassGuidsFromNameA(LPCSTR className, LPGUID guids, DWORD room, PDWORD required) {
  SETUPAPI_FUNCTION(SetupDiClassGuidsFromNameA);
  return function ? function(className, guids, room, required) : FALSE;
}

BOOL SetupDiDestroyDriverInfoList(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD driverType) {
  SETUPAPI_FUNCTION(SetupDiDestroyDriverInfoList);
  return function ? function(set, device, driverType) : FALSE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) {
  SETUPAPI_FUNCTION(SetupDiDestroyDeviceInfoList);
  return function ? function(set) : FALSE;
}

HINF SetupOpenInfFileA(LPCSTR fileName, LPCSTR infClass, DWORD infStyle, PUINT errorLine) {
  SETUPAPI_FUNCTION(SetupOpenInfFileA);
  return function ? function(fileName, infClass, infStyle, errorLine) : INVALID_HANDLE_VALUE;
}

BOOL SetupFindFirstLineA(HINF inf, LPCSTR section, LPCSTR key, PINFCONTEXT context) {
  SETUPAPI_FUNCTION(SetupFindFirstLineA);
  return function ? function(inf, section, key, context) : FALSE;
}

BOOL SetupGetStringFieldA(PINFCONTEXT context, DWORD fieldIndex, LPSTR buffer, DWORD size,
                          PDWORD requiredSize) {
  SETUPAPI_FUNCTION(SetupGetStringFieldA);
  return function ? function(context, fieldIndex, buffer, size, requiredSize) : FALSE;
}

BOOL SetupFindNextLine(PINFCONTEXT contextIn, PINFCONTEXT contextOut) {
  SETUPAPI_FUNCTION(SetupFindNextLine);
  return function ? function(contextIn, contextOut) : FALSE;
}

void SetupCloseInfFile(HINF inf) {
  SETUPAPI_FUNCTION(SetupCloseInfFile);
  if (function) function(inf);
}

BOOL SetupCopyOEMInfA(LPCSTR sourceInf, LPCSTR mediaRoot, DWORD mediaType, DWORD copyStyle,
                      LPSTR destination, DWORD destinationSize, PDWORD requiredSize,
                      LPSTR* destinationFilePart) {
  SETUPAPI_FUNCTION(SetupCopyOEMInfA);
  return function ? function(sourceInf, mediaRoot, mediaType, copyStyle, destination,
                             destinationSize, requiredSize, destinationFilePart)
                  : FALSE;
}

// Windows XP and later: Windows 2000's setupapi.dll has no such export.
BOOL SetupUninstallOEMInfA(LPCSTR infFileName, DWORD flags, PVOID reserved) {
  SETUPAPI_FUNCTION(SetupUninstallOEMInfA);
  return function ? function(infFileName, flags, reserved) : FALSE;
}

// Windows Vista and later. MinGW's setupapi.h does not declare it; the
// platform info argument is a pointer, passed through as it is.
BOOL SetupGetInfDriverStoreLocationA(LPCSTR fileName, PVOID alternatePlatformInfo,
                                     LPCSTR localeName, LPSTR returnBuffer,
                                     DWORD returnBufferSize, PDWORD requiredSize) {
  using Location = BOOL WINAPI(LPCSTR, PVOID, LPCSTR, LPSTR, DWORD, PDWORD);
  static Location* const function = Find<Location>("SetupGetInfDriverStoreLocationA");
  if (!function) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
  }
  return function(fileName, alternatePlatformInfo, localeName, returnBuffer, returnBufferSize,
                  requiredSize);
}

}  // namespace plat
