#include "uninstall/reset_install_flag.h"

#include "app/settings_key.h"
#include "resources/string_table.h"

int ResetInstallFlag() {
  SettingsKey settings;
  if (OpenSettingsKey(&settings)) {
    DWORD flag = 0;
    if (settings.ReadDword(IDS_INSTALL_FLAG, &flag)) settings.WriteDword(IDS_INSTALL_FLAG, 0);
  }
  return settings.Close();
}
