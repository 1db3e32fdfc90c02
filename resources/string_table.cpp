#include "resources/string_table.h"

namespace {
const StringTableEntry kEntries[] = {
#define STRING_ENTRY(name, id, text) {id, text},
#include "resources/string_table.inc"
#undef STRING_ENTRY
};
}  // namespace

const StringTableEntry* StringTableEntries(int* count) {
  *count = static_cast<int>(sizeof(kEntries) / sizeof(kEntries[0]));
  return kEntries;
}
