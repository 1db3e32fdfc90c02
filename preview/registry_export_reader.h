// Reads a registry export, as regedit ("File > Export", regedit /e), reg.exe
// (reg export HKLM\SYSTEM system.reg) and hivexregedit --export write it,
// into a machine description.
//
// Formats:
//  - "Windows Registry Editor Version 5.00" in UTF-16 little-endian with a
//    byte-order mark (regedit and reg.exe of Windows 2000 and later);
//  - the same header in 8-bit text: UTF-8 when the bytes are UTF-8
//    (hivexregedit --export writes UTF-8 names, every value as hex(N), one
//    line per value and LF line ends), otherwise ANSI (code page 1250);
//  - "REGEDIT4" in ANSI (regedit of Windows 95 to Me and NT 4).
// Recognised by content: the first line is one of the two headers (in any
// of these encodings, or in one the reader refuses, so that its message
// says what is wrong with the file).
//
// Lines: [ROOT\key\...] opens a key (roots HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
// HKEY_USERS, HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG or their short names;
// the key's parents are added too); "name"=DATA and @=DATA (the default
// value) give a value of the last key opened; ';' starts a comment line.
// DATA is "text" (REG_SZ; \\ and \" escaped, \r and \n a carriage return
// and a line feed as Wine's reg and regedit write them; Windows' regedit and
// reg.exe write a line break as it is, so a string without its closing quote
// on its line goes on at the next one, holding that line break; every other
// control character stands as it is), dword:XXXXXXXX (1 to 8 hex digits), hex:bytes (REG_BINARY) or
// hex(N):bytes (type N in hex: 0 REG_NONE, 2 REG_EXPAND_SZ, 7 REG_MULTI_SZ,
// b REG_QWORD, any other number kept as that type), the bytes as two hex
// digits each, separated by commas, continued on the next line after a
// trailing '\'. CRLF or LF line ends. hivexregedit's key line of the hive's
// root, "[HKEY_LOCAL_MACHINE\SYSTEM\]", names that key.
//
// A value that no exporting tool writes in its form is left out with a
// note, and the rest of the file is read: a string with any other escape
// (\x, \t, \0: what it stands for is not known). String data of an odd
// number of bytes (real hives hold such values) is read without its last
// byte, as the A functions read it, with a note.
//
// Values come out in the form a snapshot gives them: as a program calling
// the A functions of the registry reads them. Names, REG_SZ text, and the
// hex(1), hex(2) and hex(7) data of a version 5 export (which is UTF-16) are
// converted to code page 1250; a character 1250 lacks becomes '?' and a note
// says so. A REGEDIT4 export is ANSI already and its bytes are kept.
//
// HKLM\SYSTEM\CurrentControlSet is Windows' link to the control set that
// Select\Current names, and regedit exports it as a copy of that set. When
// the export holds that set too, the copy becomes the link entry a snapshot
// gives (L, target \REGISTRY\MACHINE\SYSTEM\ControlSetNNN), so the removal
// deletes through it in the set, as on Windows (a note says so). Exported
// alone, CurrentControlSet stays the tree it looks like. An export of the
// SYSTEM hive file (hivexregedit) holds the sets and Select but no
// CurrentControlSet, which only a running Windows makes: it gets the link
// too (a note says so).
//
// An export holds no key security: keys get an empty detail (a note says
// so). A key or value given twice is one entry, and the value given last
// wins, as regedit's import does (a note says so); names are compared
// without regard to case, as Windows compares them.
//
// Refused with "line N: problem" (the description is then left unchanged):
// a file that deletes ([-key], "name"=-), a line cut short (a string without
// its closing quote, a key line without ']', hex data ending in ',' or
// inside a continued value, a last line without a line end, which regedit,
// reg and hivexregedit always write), wrong encodings (UTF-16 big-endian or without a
// byte-order mark, UTF-8 with a byte-order mark, which regedit neither
// writes nor reads, binary data), NUL characters in a line, data of the
// wrong form (dword:zzz, more than 8 dword digits, a byte of one or three
// digits), hivexregedit's lossy str(N): form and
// its keys without a root (export with --prefix), and anything beyond the
// bounds below.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "preview/machine_input.h"

namespace preview {

// Windows' own limits ("Registry element size limits"): a key name has at
// most 255 characters, a value name at most 16,383, and a tree is at most
// 512 levels deep. The key name limit is taken per name: the page says the
// name includes the path, but Windows refuses only a single name longer
// than 255, and real registries hold longer paths (deep Enum and Class keys).
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr size_t kMaxKeyDepth = 512;
// Value data: at most 1 MB, the documented limit of the standard hive
// format (the removal reads no value near that size).
constexpr size_t kMaxValueDataBytes = 1u << 20;
// The whole file: 128 MiB. A Windows 7 SYSTEM export with its 30,000 keys
// is some tens of MB in UTF-16 (the preview needs HKLM\SYSTEM, not the
// whole registry). The reader takes about six times the file's size (the
// decoded text, the entries and their index: 240 MB for a 41 MB export), so
// this bounds it to under 800 MB, within reach of the 32-bit build too.
constexpr size_t kMaxExportBytes = 128u << 20;

// True when the bytes start as a registry export (either header, in any of
// the encodings above).
bool LooksLikeRegistryExport(std::string_view bytes);

// Adds the export's keys and values to *input. On failure returns false with
// "line N: problem" in *error and leaves *input unchanged.
bool ReadRegistryExport(std::string_view bytes, MachineInput* input, std::string* error);

}  // namespace preview
