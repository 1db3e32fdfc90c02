// StringIds of the program's string table, and the table itself for the
// simulated machine's LoadStringA.
#pragma once

enum StringId : int {
#define STRING_ENTRY(name, id, text) name = id,
#include "resources/string_table.inc"
#undef STRING_ENTRY
};

struct StringTableEntry {
  int id;
  const char* utf8;
};

// Every entry in table order; the texts are UTF-8.
const StringTableEntry* StringTableEntries(int* count);
