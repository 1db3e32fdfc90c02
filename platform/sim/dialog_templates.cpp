#include "platform/sim/dialog_templates.h"

#include "resources/resource.h"

namespace sim {

namespace {

// The resource script's language for every resource: Hungarian (Hungary).
constexpr LANGID kHungarian = MAKELANGID(0x0E, 0x01);

struct ControlText {
  const char* text;
  int icon;
};

std::vector<DialogControlTemplate> Controls(bool ntTemplate) {
  std::vector<DialogControlTemplate> controls;
#define WIZARD_TEXT(literal) \
  ControlText { literal, 0 }
#define WIZARD_ICON(resource) \
  ControlText { "", resource }
#define WIZARD_CONTROL(id, cls, content, style, x1, y1, w1, h1, x2, y2, w2, h2)             \
  {                                                                                         \
    ControlText shown = content;                                                            \
    RECT units = ntTemplate ? RECT{x2, y2, w2, h2} : RECT{x1, y1, w1, h1};                  \
    controls.push_back({id, cls, shown.text, shown.icon, static_cast<LONG>(style), units}); \
  }
#include "resources/wizard_dialogs.inc"
#undef WIZARD_CONTROL
#undef WIZARD_ICON
#undef WIZARD_TEXT
  return controls;
}

DialogTemplate Wizard(int id, int width, int height) {
  return {id,
          kHungarian,
          static_cast<LONG>(WIZARD_DIALOG_STYLE),
          WIZARD_DIALOG_CAPTION,
          WIZARD_FONT_NAME,
          WIZARD_FONT_POINTS,
          width,
          height,
          Controls(id == IDD_WIZARD_NT)};
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
  static const DialogTemplate legacy =
      Wizard(IDD_WIZARD_LEGACY, WIZARD_LEGACY_WIDTH, WIZARD_LEGACY_HEIGHT);
  static const DialogTemplate nt = Wizard(IDD_WIZARD_NT, WIZARD_NT_WIDTH, WIZARD_NT_HEIGHT);
  if (id == IDD_WIZARD_LEGACY) return &legacy;
  if (id == IDD_WIZARD_NT) return &nt;
  return nullptr;
}

}  // namespace sim
