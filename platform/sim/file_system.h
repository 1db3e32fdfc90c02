// PLACEHOLDER: being written.
#pragma once
namespace sim {
class FileSystem {};
}  // namespace sim
