// Code pages, string routines, wsprintf and FormatMessage of the simulated machine.
#include <cstdarg>
#include <cstring>
#include <string>

#include "platform/sim/code_pages.h"
#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"
#include "platform/system.h"

namespace plat {

using sim::CurrentMachine;
using sim::EnterCall;
using sim::SetError;

UINT GetACP() {
  uint32_t error = 0;
  EnterCall("GetACP", &error);
  return CurrentMachine().options().codePage;
}

BOOL IsDBCSLeadByte(BYTE byte) {
  uint32_t error = 0;
  EnterCall("IsDBCSLeadByte", &error);
  return sim::IsLeadByteIn(CurrentMachine().options().codePage, byte);
}

namespace {

constexpr DWORD kMbComposite = 0x02;
constexpr DWORD kMbUseGlyphChars = 0x04;
constexpr DWORD kWcDiscardNs = 0x10;
constexpr DWORD kWcSepChars = 0x20;
constexpr DWORD kWcDefaultChar = 0x40;
constexpr DWORD kWcCompositeCheck = 0x200;

// MB_ERR_INVALID_CHARS came after Windows NT 4, which refuses it with
// ERROR_INVALID_FLAGS like any flag it does not know (NT 3.x answered
// ERROR_INVALID_PARAMETER; the MinGW-w64 run-time retries without the flag
// for both). Microsoft's documentation of the function names no such
// restriction for Windows 95/98/Me, so the 9x family of this machine
// accepts the flag.
bool KnowsInvalidCharsFlag() {
  return CurrentMachine().options().version != sim::WindowsVersion::WindowsNT4;
}

bool CheckMultiByteFlags(uint32_t codePage, DWORD flags) {
  DWORD allowed = KnowsInvalidCharsFlag() ? DWORD(MB_ERR_INVALID_CHARS) : 0;
  if (codePage != CP_UTF8) allowed |= MB_PRECOMPOSED | kMbComposite | kMbUseGlyphChars;
  bool bothForms = (flags & MB_PRECOMPOSED) && (flags & kMbComposite);
  if ((flags & ~allowed) || bothForms) {
    SetError(ERROR_INVALID_FLAGS);
    return false;
  }
  return true;
}

bool CheckWideCharFlags(uint32_t codePage, DWORD flags) {
  DWORD allowed = codePage == CP_UTF8 ? DWORD(WC_ERR_INVALID_CHARS)
                                      : DWORD(kWcDiscardNs | kWcSepChars | kWcDefaultChar |
                                              kWcCompositeCheck | WC_NO_BEST_FIT_CHARS);
  if (flags & ~allowed) {
    SetError(ERROR_INVALID_FLAGS);
    return false;
  }
  return true;
}

// The simulated machine keeps UTF-16 text as char16_t; Windows' WCHAR is
// wchar_t there, of the same width, when the machine runs in a Windows program.
static_assert(sizeof(WCHAR) == sizeof(char16_t));
const char16_t* Utf16(LPCWSTR wide) { return reinterpret_cast<const char16_t*>(wide); }
char16_t* Utf16(LPWSTR wide) { return reinterpret_cast<char16_t*>(wide); }

bool HasLoneSurrogate(const char16_t* wide, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    char16_t unit = wide[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

// Copies a converted text into the caller's buffer with Windows' contract:
// size query with 0, ERROR_INSUFFICIENT_BUFFER (and as much as fits) otherwise.
template <typename Char>
int DeliverConverted(const std::basic_string<Char>& converted, Char* out, int outLength) {
  int needed = int(converted.size());
  if (outLength == 0) return needed;
  if (needed > outLength) {
    std::memcpy(out, converted.data(), size_t(outLength) * sizeof(Char));
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(out, converted.data(), converted.size() * sizeof(Char));
  return needed;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                        int wideLength) {
  uint32_t error = 0;
  if (EnterCall("MultiByteToWideChar", &error)) return 0;
  if (!text || length == 0 || wideLength < 0 || (!wide && wideLength)) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  uint32_t page = sim::ResolveCodePage(codePage);
  if (!sim::IsKnownCodePage(page)) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!CheckMultiByteFlags(page, flags)) return 0;
  size_t bytes = length < 0 ? std::strlen(text) + 1 : size_t(length);
  std::u16string converted;
  if (!sim::DecodeNarrow(page, text, bytes, (flags & MB_ERR_INVALID_CHARS) != 0, &converted)) {
    SetError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return DeliverConverted(converted, Utf16(wide), wideLength);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR text,
                        int length, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
  uint32_t error = 0;
  if (EnterCall("WideCharToMultiByte", &error)) return 0;
  if (!wide || wideLength == 0 || length < 0 || (!text && length)) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  uint32_t page = sim::ResolveCodePage(codePage);
  if (!sim::IsKnownCodePage(page) ||
      (page == CP_UTF8 && (defaultChar != nullptr || usedDefaultChar != nullptr))) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!CheckWideCharFlags(page, flags)) return 0;
  size_t units = 0;
  if (wideLength < 0) {
    while (wide[units]) ++units;
    ++units;
  } else {
    units = size_t(wideLength);
  }
  if (page == CP_UTF8 && (flags & WC_ERR_INVALID_CHARS) && HasLoneSurrogate(Utf16(wide), units)) {
    SetError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  bool used = false;
  std::string converted;
  sim::EncodeNarrow(page, Utf16(wide), units, (flags & WC_NO_BEST_FIT_CHARS) == 0, defaultChar,
                    &used, &converted);
  if (usedDefaultChar) *usedDefaultChar = used ? TRUE : FALSE;
  return DeliverConverted(converted, text, length);
}

// ---- lstr routines.

int lstrlenA(LPCSTR text) {
  uint32_t error = 0;
  EnterCall("lstrlenA", &error);
  return text ? int(std::strlen(text)) : 0;
}

namespace {

// Compares two narrow texts through UTF-16 in the machine's code page.
// Windows compares with its word-sort tables; here the order is the order of
// lower-cased UTF-16 code units, and lstrcmpA puts a lower-case letter before
// the same letter in upper case, as Windows does. Equality is exact.
int CompareTexts(LPCSTR a, LPCSTR b, bool ignoreCase) {
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  uint32_t page = CurrentMachine().options().codePage;
  std::u16string left;
  std::u16string right;
  sim::DecodeNarrow(page, a, std::strlen(a), false, &left);
  sim::DecodeNarrow(page, b, std::strlen(b), false, &right);
  int caseOrder = 0;
  size_t n = left.size() < right.size() ? left.size() : right.size();
  for (size_t i = 0; i < n; ++i) {
    char16_t l = sim::LowerCaseOf(left[i]);
    char16_t r = sim::LowerCaseOf(right[i]);
    if (l != r) return l < r ? -1 : 1;
    if (caseOrder == 0 && left[i] != right[i]) caseOrder = left[i] == l ? -1 : 1;
  }
  if (left.size() != right.size()) return left.size() < right.size() ? -1 : 1;
  return ignoreCase ? 0 : caseOrder;
}

}  // namespace

int lstrcmpA(LPCSTR a, LPCSTR b) {
  uint32_t error = 0;
  EnterCall("lstrcmpA", &error);
  return CompareTexts(a, b, false);
}

int lstrcmpiA(LPCSTR a, LPCSTR b) {
  uint32_t error = 0;
  EnterCall("lstrcmpiA", &error);
  return CompareTexts(a, b, true);
}

// ---- wsprintf.
//
// Windows' rules: at most 1024 characters including the terminator are
// written; the directives are %[-][#][0][width][.precision][h|l|I64]type with
// the types c C d i u x X s S p and %% for a percent sign. There is no
// floating point, no %n and no '*' width. An unknown type is written as itself.

namespace {

constexpr size_t kWsprintfLimit = 1024;

class Formatter {
 public:
  explicit Formatter(LPSTR output) : output_(output) {}

  void Put(char c) {
    if (length_ < kWsprintfLimit - 1) output_[length_++] = c;
  }
  void PutRepeated(char c, int count) {
    for (int i = 0; i < count; ++i) Put(c);
  }
  int Finish() {
    output_[length_] = '\0';
    return int(length_);
  }

 private:
  LPSTR output_;
  size_t length_ = 0;
};

struct Directive {
  bool left = false;
  bool alternate = false;
  bool zero = false;
  int width = 0;
  int precision = -1;
  char size = 0;  // 'h', 'l', 'I' (64-bit) or 0
  char type = 0;
};

const char* ParseDirective(const char* p, Directive* d) {
  for (;; ++p) {
    if (*p == '-') d->left = true;
    else if (*p == '#') d->alternate = true;
    else if (*p == '0') d->zero = true;
    else break;
  }
  while (*p >= '0' && *p <= '9') d->width = d->width * 10 + (*p++ - '0');
  if (*p == '.') {
    d->precision = 0;
    ++p;
    while (*p >= '0' && *p <= '9') d->precision = d->precision * 10 + (*p++ - '0');
  }
  if (*p == 'h' || *p == 'l') {
    d->size = *p++;
  } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
    d->size = 'I';
    p += 3;
  }
  d->type = *p;
  return *p ? p + 1 : p;
}

void EmitField(Formatter* out, const Directive& d, const std::string& body, const char* prefix,
               bool zeroPad) {
  int prefixLength = int(std::strlen(prefix));
  int padding = d.width - int(body.size()) - prefixLength;
  if (!d.left && !zeroPad) out->PutRepeated(' ', padding);
  for (const char* c = prefix; *c; ++c) out->Put(*c);
  if (!d.left && zeroPad) out->PutRepeated('0', padding);
  for (char c : body) out->Put(c);
  if (d.left) out->PutRepeated(' ', padding);
}

std::string Digits(uint64_t value, unsigned base, bool upper, int precision) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), digits[value % base]);
    value /= base;
  } while (value);
  while (int(text.size()) < precision) text.insert(text.begin(), '0');
  return text;
}

std::string NarrowOfWide(const char16_t* wide, size_t length) {
  std::string text;
  sim::EncodeNarrow(CurrentMachine().options().codePage, wide, length, true, nullptr, nullptr,
                    &text);
  return text;
}

void EmitNumber(Formatter* out, const Directive& d, va_list* args) {
  bool isSigned = d.type == 'd' || d.type == 'i';
  uint64_t magnitude = 0;
  bool negative = false;
  if (d.size == 'I') {
    int64_t value = va_arg(*args, int64_t);
    negative = isSigned && value < 0;
    magnitude = negative ? 0 - uint64_t(value) : uint64_t(value);
  } else {
    // 'l' is 32 bits on Windows; 'h' narrows to 16 bits.
    uint32_t raw = va_arg(*args, unsigned int);
    if (d.size == 'h') raw = isSigned ? uint32_t(int32_t(int16_t(raw))) : (raw & 0xFFFF);
    negative = isSigned && int32_t(raw) < 0;
    magnitude = negative ? 0 - uint64_t(int64_t(int32_t(raw))) : uint64_t(raw);
  }
  unsigned base = (d.type == 'x' || d.type == 'X') ? 16 : 10;
  std::string body = Digits(magnitude, base, d.type == 'X', d.precision);
  const char* prefix = negative ? "-" : "";
  if (d.alternate && base == 16 && magnitude != 0) prefix = d.type == 'X' ? "0X" : "0x";
  EmitField(out, d, body, prefix, d.zero && d.precision < 0);
}

void EmitText(Formatter* out, const Directive& d, va_list* args) {
  bool wide = d.type == 'S' ? d.size != 'h' : d.size == 'l';
  std::string body;
  if (wide) {
    const char16_t* text = va_arg(*args, const char16_t*);
    if (!text) {
      body = "(null)";
    } else {
      size_t n = 0;
      while (text[n] && (d.precision < 0 || n < size_t(d.precision))) ++n;
      body = NarrowOfWide(text, n);
    }
  } else {
    const char* text = va_arg(*args, const char*);
    if (!text) text = "(null)";
    size_t n = 0;
    while (text[n] && (d.precision < 0 || n < size_t(d.precision))) ++n;
    body.assign(text, n);
  }
  EmitField(out, d, body, "", false);
}

void EmitCharacter(Formatter* out, const Directive& d, va_list* args) {
  bool wide = d.type == 'C' ? d.size != 'h' : d.size == 'l';
  int value = va_arg(*args, int);
  std::string body;
  if (wide) {
    char16_t unit = char16_t(value);
    body = NarrowOfWide(&unit, 1);
  } else {
    body.assign(1, char(value));
  }
  EmitField(out, d, body, "", false);
}

int Format(LPSTR output, LPCSTR format, va_list* args) {
  Formatter out(output);
  const char* p = format;
  while (*p) {
    if (*p != '%') {
      out.Put(*p++);
      continue;
    }
    Directive d;
    p = ParseDirective(p + 1, &d);
    switch (d.type) {
      case 'd': case 'i': case 'u': case 'x': case 'X': EmitNumber(&out, d, args); break;
      case 's': case 'S': EmitText(&out, d, args); break;
      case 'c': case 'C': EmitCharacter(&out, d, args); break;
      case 'p': {
        Directive pointer = d;
        pointer.type = 'X';
        pointer.precision = int(sizeof(void*) * 2);
        pointer.size = 'I';
        std::string body = Digits(uint64_t(uintptr_t(va_arg(*args, void*))), 16, true,
                                  pointer.precision);
        EmitField(&out, pointer, body, "", false);
        break;
      }
      case '\0': break;
      default: out.Put(d.type); break;  // "%%" and unknown types
    }
  }
  return out.Finish();
}

}  // namespace

int wvsprintfA(LPSTR output, LPCSTR format, va_list arguments) {
  uint32_t error = 0;
  if (EnterCall("wvsprintfA", &error)) return -1;
  if (!output || !format) {
    SetError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  va_list args;
  va_copy(args, arguments);
  int length = Format(output, format, &args);
  va_end(args);
  return length;
}

int wsprintfA(LPSTR output, LPCSTR format, ...) {
  uint32_t error = 0;
  if (EnterCall("wsprintfA", &error)) return -1;
  if (!output || !format) {
    SetError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  va_list args;
  va_start(args, format);
  int length = Format(output, format, &args);
  va_end(args);
  return length;
}

// ---- FormatMessage.

namespace {

struct SystemMessage {
  DWORD code;
  const char* text;
};

// The English texts of the system message table for the codes this program
// can meet, ending with a line break as Windows' texts do. Windows keeps the
// Setup API's texts only under their HRESULT codes 0x800Fxxxx (the SDK's
// winerror.h, SPAPI_E_*), not under the codes 0xE0000xxx that the Setup API
// functions set as their last error.
const SystemMessage kSystemMessages[] = {
    {0, "The operation completed successfully."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough storage is available to process this command."},
    {13, "The data is invalid."},
    {14, "Not enough storage is available to complete this operation."},
    {18, "There are no more files."},
    {32, "The process cannot access the file because it is being used by another process."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {120, "This function is not supported on this system."},
    {122, "The data area passed to a system call is too small."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {126, "The specified module could not be found."},
    {127, "The specified procedure could not be found."},
    {145, "The directory is not empty."},
    {183, "Cannot create a file when that file already exists."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {288, "Attempt to release mutex not owned by caller."},
    {998, "Invalid access to memory location."},
    {1004, "Invalid flags."},
    {1008, "An attempt was made to reference a token that does not exist."},
    {1010, "The configuration registry key is invalid."},
    {1011, "The configuration registry key could not be opened."},
    {1012, "The configuration registry key could not be read."},
    {1013, "The configuration registry key could not be written."},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
    {1060, "The specified service does not exist as an installed service."},
    {1055, "The service database is locked."},
    {1057, "The account name is invalid or does not exist, or the password is invalid for the "
           "account name specified."},
    {1065, "The database specified does not exist."},
    {1072, "The specified service has been marked for deletion."},
    {1073, "The specified service already exists."},
    {1115, "A system shutdown is in progress."},
    {1113, "No mapping for the Unicode character exists in the target multi-byte code page."},
    {1300, "Not all privileges or groups referenced are assigned to the caller."},
    {1336, "The access control list (ACL) structure is invalid."},
    {1337, "The security ID structure is invalid."},
    {1338, "The security descriptor structure is invalid."},
    {1344, "No more memory is available for security information updates."},
    {1400, "Invalid window handle."},
    {1812, "The specified image file did not contain a resource section."},
    {1813, "The specified resource type cannot be found in the image file."},
    {1814, "The specified resource name cannot be found in the image file."},
    {1784, "The supplied user buffer is not valid for the requested operation."},
    {0x800F0100, "The style of the INF is different than what was requested."},
    {0x800F0101, "The required section was not found in the INF."},
    {0x800F0102, "The required line was not found in the INF."},
    {0x800F0201, "The INF or the device information set or element does not match the "
                 "specified install class."},
    {0x800F0206, "The class name is invalid."},
    {0x800F0209, "The device registry property is invalid."},
    {0x800F020B, "The device instance does not exist in the hardware tree."},
    {0x800F020D, "The class installer for this device is invalid."},
    {0x800F020E, "The class installer has completed the request; default processing "
                 "should be done."},
    {0x800F0232, "The device cannot be removed."},
    {0x800F022F, "The third-party INF does not contain digital signature information."},
    {0x800F023D, "One or more devices are presently installed using the specified INF."},
};

const char* FindSystemMessage(DWORD code) {
  for (const SystemMessage& message : kSystemMessages) {
    if (message.code == code) return message.text;
  }
  return nullptr;
}

bool IsAcceptedLanguage(DWORD language) {
  // Neutral, the user's and the system's default, and English.
  return language == 0 || language == 0x400 || language == 0x800 || (language & 0x3FF) == 0x09;
}

}  // namespace

// Supports FORMAT_MESSAGE_FROM_SYSTEM (with FORMAT_MESSAGE_IGNORE_INSERTS or
// without: none of the modelled texts has inserts) and FORMAT_MESSAGE_FROM_STRING
// without inserts, each into the caller's buffer or one it must LocalFree.
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                     LPSTR buffer, DWORD size, va_list*) {
  uint32_t error = 0;
  bool allocate = (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0;
  if (allocate && buffer) *reinterpret_cast<LPSTR*>(buffer) = nullptr;
  if (EnterCall("FormatMessageA", &error)) return 0;
  if (!buffer) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string text;
  if (flags & FORMAT_MESSAGE_FROM_STRING) {
    if (!source) {
      SetError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    text = static_cast<const char*>(source);
  } else if (flags & FORMAT_MESSAGE_FROM_SYSTEM) {
    if (!IsAcceptedLanguage(languageId)) {
      SetError(ERROR_RESOURCE_LANG_NOT_FOUND);
      return 0;
    }
    const char* message = FindSystemMessage(messageId);
    if (!message) {
      SetError(ERROR_MR_MID_NOT_FOUND);
      return 0;
    }
    text = std::string(message) + "\r\n";
  } else {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (allocate) {
    sim::Machine& machine = CurrentMachine();
    size_t bytes = text.size() + 1 > size ? text.size() + 1 : size;
    auto* memory = static_cast<char*>(
        machine.system.AllocateBlock(machine, sim::HandleKind::LocalMemory, bytes));
    if (!memory) {
      SetError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    std::memcpy(memory, text.c_str(), text.size() + 1);
    *reinterpret_cast<LPSTR*>(buffer) = memory;
    return DWORD(text.size());
  }
  if (text.size() + 1 > size) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return DWORD(text.size());
}

}  // namespace plat
