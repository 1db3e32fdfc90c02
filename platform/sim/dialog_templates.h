// The dialog templates of the program's resources, as the simulated
// machine's dialog manager builds them: the same control list the resource
// script compiles (resources/wizard_dialogs.inc), in dialog units.
#pragma once
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace sim {

struct DialogControlTemplate {
  int id;
  std::string className;
  std::string text;
  int iconResource;  // an SS_ICON static's icon resource, else 0
  LONG style;
  RECT units;  // x, y, width, height in dialog units (right and bottom hold the size)
};

struct DialogTemplate {
  int id;
  LANGID language;
  LONG style;
  std::string caption;
  std::string fontName;
  int fontPoints;
  int width;  // dialog units
  int height;
  std::vector<DialogControlTemplate> controls;
};

// The template of that resource ID, or null when the program has none.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace sim
