// PLACEHOLDER: being written.
#pragma once
namespace sim {
class SystemModel {};
}  // namespace sim
