// Setup API on Windows: each operation passes straight to setupapi.
#include "platform/setup_api.h"

namespace plat {

HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR enumerator, HWND parent, DWORD flags) {
  return ::SetupDiGetClassDevsA(classGuid, enumerator, parent, flags);
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device) {
  return ::SetupDiEnumDeviceInfo(set, index, device);
}

BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                       PDWORD type, PBYTE buffer, DWORD size, PDWORD requiredSize) {
  return ::SetupDiGetDeviceRegistryPropertyA(set, device, property, type, buffer, size,
                                             requiredSize);
}

BOOL SetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA device) {
  return ::SetupDiCallClassInstaller(function, set, device);
}

BOOL SetupDiGetDeviceInstallParamsA(HDEVINFO set, PSP_DEVINFO_DATA device,
                                    PSP_DEVINSTALL_PARAMS_A params) {
  return ::SetupDiGetDeviceInstallParamsA(set, device, params);
}

BOOL SetupDiClassGuidsFromNameA(LPCSTR className, LPGUID guids, DWORD room, PDWORD required) {
  return ::SetupDiClassGuidsFromNameA(className, guids, room, required);
}

BOOL SetupDiDestroyDriverInfoList(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD driverType) {
  return ::SetupDiDestroyDriverInfoList(set, device, driverType);
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) { return ::SetupDiDestroyDeviceInfoList(set); }

HINF SetupOpenInfFileA(LPCSTR fileName, LPCSTR infClass, DWORD infStyle, PUINT errorLine) {
  return ::SetupOpenInfFileA(fileName, infClass, infStyle, errorLine);
}

BOOL SetupFindFirstLineA(HINF inf, LPCSTR section, LPCSTR key, PINFCONTEXT context) {
  return ::SetupFindFirstLineA(inf, section, key, context);
}

BOOL SetupGetStringFieldA(PINFCONTEXT context, DWORD fieldIndex, LPSTR buffer, DWORD size,
                          PDWORD requiredSize) {
  return ::SetupGetStringFieldA(context, fieldIndex, buffer, size, requiredSize);
}

void SetupCloseInfFile(HINF inf) { ::SetupCloseInfFile(inf); }

BOOL SetupCopyOEMInfA(LPCSTR sourceInf, LPCSTR mediaRoot, DWORD mediaType, DWORD copyStyle,
                      LPSTR destination, DWORD destinationSize, PDWORD requiredSize,
                      LPSTR* destinationFilePart) {
  return ::SetupCopyOEMInfA(sourceInf, mediaRoot, mediaType, copyStyle, destination,
                            destinationSize, requiredSize, destinationFilePart);
}

}  // namespace plat
