// PLACEHOLDER: being written.
#pragma once
namespace sim {
class WindowManager {};
}  // namespace sim
