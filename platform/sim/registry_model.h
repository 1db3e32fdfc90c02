// PLACEHOLDER: being written.
#pragma once
namespace sim {
class RegistryModel {};
}  // namespace sim
