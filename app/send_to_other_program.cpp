#include "app/send_to_other_program.h"

#include "platform/platform.h"

namespace {

// How long another program may take to answer. A window whose thread hangs,
// or waits for this program to end (a launcher that started it), never
// answers: SendMessageA would then keep this run waiting for ever, and a
// removal run would never remove. SMTO_ABORTIFHUNG gives up at once on a
// window that Windows already counts as hung (no message taken for 5 s);
// SMTO_NORMAL (0) lets this thread answer messages sent to it meanwhile,
// which costs nothing: it has no window open while it sends.
constexpr UINT kAnswerTimeoutMs = 5000;

}  // namespace

int SendToOtherProgram(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR answer = 0;
  return plat::SendMessageTimeoutA(window, message, wParam, lParam,
                                   SMTO_NORMAL | SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                                   &answer) != 0
             ? 1
             : 0;
}
