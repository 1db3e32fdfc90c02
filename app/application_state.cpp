#include "app/application_state.h"

ApplicationState& App() {
  static ApplicationState state{};
  return state;
}
