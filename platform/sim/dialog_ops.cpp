// DialogBoxParamA and EndDialog of the simulated machine, on its dialog
// manager.
#include "platform/sim/dialog_manager.h"
#include "platform/sim/dialog_templates.h"
#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"
#include "platform/ui.h"

namespace plat {

// The program's own templates only; a template named by a string, or an ID
// the resources do not hold, fails as on Windows: -1 and
// ERROR_RESOURCE_NAME_NOT_FOUND.
INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC procedure,
                        LPARAM parameter) {
  uint32_t error = 0;
  if (sim::EnterCall("DialogBoxParamA", &error)) return -1;
  const sim::DialogTemplate* dialog =
      IS_INTRESOURCE(templateName) ? sim::FindDialogTemplate(LOWORD(templateName)) : nullptr;
  if (!dialog) {
    sim::SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return -1;
  }
  if (!procedure) {
    sim::SetError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  sim::Machine& machine = sim::CurrentMachine();
  if (owner && !machine.windows.Find(owner)) {
    sim::SetError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  return machine.dialogs.RunModal(machine, *dialog, owner, procedure, parameter);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  uint32_t error = 0;
  if (sim::EnterCall("EndDialog", &error)) return FALSE;
  if (!sim::CurrentMachine().dialogs.End(dialog, result)) {
    sim::SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // namespace plat
