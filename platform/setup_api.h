// Setup API: device enumeration and removal, INF files and the INF store.
#pragma once
#include "platform/win_types.h"

namespace plat {

HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR enumerator, HWND parent, DWORD flags);
BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device);
BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                       PDWORD type, PBYTE buffer, DWORD size, PDWORD requiredSize);
BOOL SetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA device);
// The install parameters of a member of the set (device null: of the set); a
// removal that could not stop the device leaves DI_NEEDREBOOT in their flags.
BOOL SetupDiGetDeviceInstallParamsA(HDEVINFO set, PSP_DEVINFO_DATA device,
                                    PSP_DEVINSTALL_PARAMS_A params);
BOOL SetupDiClassGuidsFromNameA(LPCSTR className, LPGUID guids, DWORD room, PDWORD required);
BOOL SetupDiDestroyDriverInfoList(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD driverType);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);

HINF SetupOpenInfFileA(LPCSTR fileName, LPCSTR infClass, DWORD infStyle, PUINT errorLine);
BOOL SetupFindFirstLineA(HINF inf, LPCSTR section, LPCSTR key, PINFCONTEXT context);
BOOL SetupGetStringFieldA(PINFCONTEXT context, DWORD fieldIndex, LPSTR buffer, DWORD size,
                          PDWORD requiredSize);
BOOL SetupFindNextLine(PINFCONTEXT contextIn, PINFCONTEXT contextOut);
void SetupCloseInfFile(HINF inf);
BOOL SetupCopyOEMInfA(LPCSTR sourceInf, LPCSTR mediaRoot, DWORD mediaType, DWORD copyStyle,
                      LPSTR destination, DWORD destinationSize, PDWORD requiredSize,
                      LPSTR* destinationFilePart);
// Uninstalls an INF of the INF store by its published name ("oem3.inf", no
// folder): the INF, its PNF and the catalog installed with it. Windows XP and
// later; where the system lacks it the call fails with ERROR_PROC_NOT_FOUND.
BOOL SetupUninstallOEMInfA(LPCSTR infFileName, DWORD flags, PVOID reserved);
// The driver store's copy of a published INF ("oem3.inf", or its full path in
// the INF folder): the full path of the INF in
// %windir%\System32\DriverStore\FileRepository. Windows Vista and later
// (alternatePlatformInfo and localeName may be null); where the system lacks
// it the call fails with ERROR_PROC_NOT_FOUND.
BOOL SetupGetInfDriverStoreLocationA(LPCSTR fileName, PVOID alternatePlatformInfo,
                                     LPCSTR localeName, LPSTR returnBuffer,
                                     DWORD returnBufferSize, PDWORD requiredSize);

}  // namespace plat
