// Bounded, double-byte aware text and path routines. Buffers are
// caller-owned; a limit counts characters without the terminator, a
// capacity counts them with it.
#pragma once
#include "platform/win_types.h"

// Paths, registry names and registry data use buffers of this many
// characters: 260 and the terminator.
constexpr int kPathCapacity = 261;
constexpr int kPathLimit = kPathCapacity - 1;

// 0 for a single-byte character, 1 for a lead byte, 2 for a trail byte at
// `index` of the text; 0 for a negative index. Indexes up to 32767.
int ByteKindAt(const char* text, int index);

// Copies at most `limit` bytes of `source` and a terminator; never splits a
// double-byte character. Returns 1 when the whole source went in.
int CopyBounded(char* destination, const char* source, int limit, int* lengthOut);

// Appends `source` so that the destination holds at most `limit` bytes.
// Returns 1 when the whole source went in.
int AppendBounded(char* destination, const char* source, int limit, int* lengthOut);

// Adds a trailing backslash when there is room and none is there.
int AppendBackslash(char* path, int capacity);

// Removes a trailing single-byte backslash unless it ends a drive root
// such as C:\. Returns 1 when the path ended in such a backslash.
int StripTrailingBackslash(char* path);

// Replaces the text from the last '.' on by `extension` (which includes its
// dot); with no dot the extension is appended.
int ReplaceExtension(char* path, const char* extension, int limit);

// The folder of the running program, ending in a backslash.
int GetProgramFolder(char* buffer, int capacity);
