#include "app/branding.h"

#include "app/application_state.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "platform/platform.h"
#include "resources/string_table.h"
#include "text/code_page_conversion.h"
#include "text/text_template.h"

void RegisterPlaceholders(const char* seriesName, const char* categoryName) {
  char placeholder[1024];
  placeholder[0] = '\0';
  LoadText(IDS_PLACEHOLDER_SERIES, placeholder, sizeof(placeholder));
  Placeholders().AddPlaceholder(placeholder, seriesName);
  placeholder[0] = '\0';
  LoadText(IDS_PLACEHOLDER_CATEGORY, placeholder, sizeof(placeholder));
  Placeholders().AddPlaceholder(placeholder, categoryName);
}

namespace {

constexpr int kKeyCapacity = 32;
constexpr int kNameCapacity = 17;

void ReadIconPath(const char* iniPath, const char* section, ApplicationState& state) {
  state.iconPath[0] = '\0';
  if (iniPath[0] == '\0') return;
  char key[kKeyCapacity];
  if (LoadText(IDS_BRANDING_ICON, key, kKeyCapacity) == 0) return;
  char value[kPathCapacity];
  plat::GetPrivateProfileStringA(section, key, "", value, kPathCapacity, iniPath);
  if (value[0] == '\0') return;
  // The value is relative to the program folder; a joined path that does not
  // fit a path buffer names no file we could load.
  char candidate[kPathCapacity];
  if (!CopyBounded(candidate, state.programFolder, kPathLimit, nullptr)) return;
  if (!AppendBounded(candidate, value, kPathLimit, nullptr)) return;
  DWORD attributes = plat::GetFileAttributesA(candidate);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  CopyBounded(state.iconPath, candidate, kPathLimit, nullptr);
}

// A name is cut at 16 bytes, which can split a double-byte character: the
// lone lead byte goes. A name that is still not text of the code page would
// make every text keep its raw placeholder, so it is dropped for the default.
void KeepWholeCharacters(char* name) {
  int length = plat::lstrlenA(name);
  if (length > 0 && ByteKindAt(name, length - 1) == 1) name[length - 1] = '\0';
  if (name[0] != '\0' &&
      ConvertToWideChecked(CP_ACP, name, -1, nullptr, 0) == 0) {
    name[0] = '\0';
  }
}

void ReadName(const char* iniPath, const char* section, int keyId, int defaultId, char* name) {
  char key[kKeyCapacity];
  name[0] = '\0';
  if (iniPath[0] != '\0' && LoadText(keyId, key, kKeyCapacity) > 0) {
    plat::GetPrivateProfileStringA(section, key, "", name, kNameCapacity, iniPath);
    KeepWholeCharacters(name);
  }
  if (name[0] == '\0') LoadText(defaultId, name, kNameCapacity);
}

// The program folder and the INI's name, whole: a name cut to fit would be
// some other file. Without a program folder a bare "mdmsetup.ini" would be
// looked for in the Windows folder; such a file is not ours either. Both
// leave the path empty, and the defaults apply.
void BuildIniPath(const ApplicationState& state, char* iniPath) {
  iniPath[0] = '\0';
  char name[kKeyCapacity];
  if (state.programFolder[0] == '\0' || LoadText(IDS_BRANDING_INI, name, kKeyCapacity) == 0) {
    return;
  }
  if (!CopyBounded(iniPath, state.programFolder, kPathLimit, nullptr) ||
      !AppendBounded(iniPath, name, kPathLimit, nullptr)) {
    iniPath[0] = '\0';
  }
}

}  // namespace

void ReadBranding() {
  ApplicationState& state = App();
  char iniPath[kPathCapacity];
  BuildIniPath(state, iniPath);

  char section[kKeyCapacity];
  section[0] = '\0';
  LoadText(IDS_BRANDING_SECTION, section, kKeyCapacity);

  ReadIconPath(iniPath, section, state);
  ReadName(iniPath, section, IDS_BRANDING_NAME, IDS_DEFAULT_SERIES, state.seriesName);
  ReadName(iniPath, section, IDS_BRANDING_NAME2, IDS_DEFAULT_CATEGORY, state.categoryName);
  RegisterPlaceholders(state.seriesName, state.categoryName);
}
