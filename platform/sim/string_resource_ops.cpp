// LoadStringA on the simulated machine: the program's string table
// (resources/string_table.inc), as the resource compiler stores it.
//
// Windows keeps string resources in blocks of 16 ids as UTF-16 text and
// converts an entry to the ANSI code page when it is loaded. Characters the
// code page lacks take Windows' best-fit letter (an accented Latin letter
// loses its accent) or '?'. The text is cut to the buffer before anything is
// split: only whole characters go in, so a double-byte character is never
// halved.
#include <string>

#include "platform/sim/code_pages.h"
#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"
#include "platform/ui.h"
#include "resources/string_table.h"

namespace plat {

namespace {

const StringTableEntry* FindEntry(UINT id, bool* blockExists) {
  int count = 0;
  const StringTableEntry* entries = StringTableEntries(&count);
  *blockExists = false;
  for (int i = 0; i < count; ++i) {
    if (UINT(entries[i].id) == id) return &entries[i];
    if (UINT(entries[i].id) / 16 == id / 16) *blockExists = true;
  }
  return nullptr;
}

}  // namespace

// A size of 0 or less fails with 0 (Windows' LoadStringW would hand out a
// read-only pointer; LoadStringA has no such form). An id whose block of 16
// exists but has no text answers 0 without an error, as on Windows; an id in
// a missing block sets ERROR_RESOURCE_NAME_NOT_FOUND.
int LoadStringA(HINSTANCE, UINT id, LPSTR buffer, int size) {
  uint32_t error = 0;
  if (sim::EnterCall("LoadStringA", &error)) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
  }
  if (!buffer || size <= 0) return 0;
  buffer[0] = '\0';
  bool blockExists = false;
  const StringTableEntry* entry = FindEntry(id, &blockExists);
  if (!entry) {
    if (!blockExists) sim::SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  uint32_t codePage = sim::CurrentMachine().options().codePage;
  std::u16string wide = sim::Utf8ToUtf16(entry->utf8);
  size_t room = size_t(size) - 1;
  size_t length = 0;
  for (size_t i = 0; i < wide.size(); ++i) {
    // A surrogate pair converts as one character.
    size_t units = (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size()) ? 2 : 1;
    std::string bytes;
    sim::EncodeNarrow(codePage, &wide[i], units, true, nullptr, nullptr, &bytes);
    if (length + bytes.size() > room) break;
    bytes.copy(buffer + length, bytes.size());
    length += bytes.size();
    i += units - 1;
  }
  buffer[length] = '\0';
  return int(length);
}

}  // namespace plat
