// Whole-or-nothing path building for the driver installer. Every path the
// installer hands to a copy or a delete is built in a buffer of
// kPathCapacity characters; a text that would be cut makes the step fail,
// so a shortened path never reaches the file system.
#pragma once

// Appends the string-table entry `id` to `path` (a kPathCapacity buffer).
// Returns 1 when the entry exists and went in whole; otherwise 0, and the
// path may hold a cut text that the caller must not use.
int AppendTextWhole(int id, char* path);

// Joins `folder`, a backslash and `name` into `path` (a kPathCapacity
// buffer). Returns 1 when all of it fits in 260 characters, else 0 with
// `path` emptied.
int JoinPath(char* path, const char* folder, const char* name);

// Length of `text`, but at most `stop`: bounds the reading of a path handed
// in by a caller.
int BoundedLength(const char* text, int stop);
