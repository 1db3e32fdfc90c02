// Reads a folder listing that a support engineer takes on the customer's PC
// with one command, into a machine description:
//
//   cmd /u /c dir /s /b /a-d C:\Windows\inf C:\Windows\system32\drivers > files.txt
//
// dir /s /b /a-d prints the full path of every file (no folders: /a-d) below
// the folders named, one per line. "cmd /u" makes it write UTF-16
// little-endian (without a byte-order mark), which keeps every name. Also
// read: the same with a byte-order mark (PowerShell 5's '>'), UTF-8 with or
// without one (PowerShell 7), and plain `dir /s /b /a-d ... > files.txt`
// when its names are ASCII. cmd writes a redirected listing in the console's
// OEM code page (852 in Hungary), which this reader does not guess: a byte
// that is not UTF-8 is refused, and so is a '?', which is what dir writes
// for a character the code page lacks.
// Recognised by content: every line that is not blank is a full path,
// "X:\..." (a registry export starts with its header, a snapshot with
// "# trace snapshot 1").
//
// Each path becomes a file entry (F) with an empty detail, as a listing
// gives neither size nor contents, and each folder above it down from the
// drive (C:\Windows, C:\Windows\inf) a folder entry (D) with an empty
// detail. Names are converted to code page 1250 ('?' and a note for a
// character it lacks) and compared without regard to case, as Windows does.
//
// Refused with "line N: problem" (the description is then left unchanged):
// a line that is not a full path, a last line without a line end (dir ends
// every line: the file is cut short), an empty name (two backslashes together, a
// trailing one), a character no file name can hold (< > : " / | ? * and
// control characters), a path that is a file on one line and a folder on
// another (a listing taken without /a-d), wrong encodings (UTF-16
// big-endian, bytes that are neither UTF-8 nor UTF-16), NUL characters, and
// anything beyond the bounds below.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "preview/machine_input.h"

namespace preview {

// Windows' own limits: a path has at most 32,767 characters, a name (NTFS)
// at most 255.
constexpr size_t kMaxListingPathLength = 32767;
constexpr size_t kMaxListingNameLength = 255;
// The whole file: 64 MiB. A listing of the INF and driver folders has a few
// thousand lines (under 1 MB in UTF-16); even the whole system32 tree of a
// Windows 7 PC is far below this. The reader takes a few times the file's
// size (the decoded text, the entries and their index).
constexpr size_t kMaxListingBytes = 64u << 20;

// True when the bytes start as a folder listing: the first line is a full
// path "X:\...", in any of the encodings above.
bool LooksLikeFolderListing(std::string_view bytes);

// Adds the listing's files and their folders to *input. On failure returns
// false with "line N: problem" in *error and leaves *input unchanged.
bool ReadFolderListing(std::string_view bytes, MachineInput* input, std::string* error);

}  // namespace preview
