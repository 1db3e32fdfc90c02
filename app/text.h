// Loading texts of the string table into bounded buffers, with the
// branding placeholders replaced.
#pragma once
#include <cstdarg>

// Loads the entry; returns the number of characters copied, 0 when the
// entry does not exist. A longer text is cut at capacity - 1 characters.
int LoadText(int id, char* buffer, int capacity);

// Appends the entry to the text in the buffer. Returns the new length of the
// whole text, or 0 when the buffer had no room left (buffer unchanged).
int AppendText(int id, char* buffer, int capacity);

// Formats the entry with the arguments into `output`, which must hold 1024
// characters. Returns the length of the output.
int FormatText(int id, char* output, ...);
int FormatTextV(int id, char* output, va_list arguments);

// Size of the work buffer of FormatText and of its output.
constexpr int kFormatCapacity = 1024;
