#include "preview/registry_export_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "preview/input_text.h"
#include "tests/trace/snapshot_entry.h"

namespace preview {
namespace {

// The bytes regedit writes: UTF-16 little-endian after a byte-order mark.
std::string Utf16(const std::string& utf8) {
  std::u16string text;
  EXPECT_TRUE(FromUtf8(utf8, &text));
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += char(c & 0xFF);
    bytes += char(c >> 8);
  }
  return bytes;
}

std::string EntryLines(const MachineInput& input) {
  std::string lines;
  for (const auto& [path, entry] : input.entries) lines += trace::FormatEntryLine(entry) + "\n";
  return lines;
}

bool NotesMention(const MachineInput& input, const std::string& fragment) {
  for (const std::string& note : input.notes) {
    if (note.find(fragment) != std::string::npos) return true;
  }
  return false;
}

const char kV5[] = "Windows Registry Editor Version 5.00\r\n\r\n";

struct ValidCase {
  const char* name;
  std::string bytes;
  std::string expected;      // the entries, one FormatEntryLine each
  std::string expectedNote;  // a note that must be there ("" for none)
};

TEST(RegistryExportReader, ReadsEachFormatTypeAndRule) {
  const ValidCase cases[] = {
      {"version 5 UTF-16: parents implied, escapes, types, continuation, code page 1250",
       Utf16(std::string(kV5) +
             "[HKEY_LOCAL_MACHINE\\SYSTEM\\Sz\u0151]\r\n"
             "@=\"C:\\\\x \\\"q\\\"\"\r\n"
             "\"a\\\\b\\\"c\"=dword:2A\r\n"
             "\"Exp\"=hex(2):25,00,\\\r\n"
             "   51,01,00,00\r\n"
             "\"Multi\"=hex(7):61,00,00,00,13,27,00,00,00,00\r\n"
             "\"Q\"=hex(b):01,00,00,00,00,00,00,80\r\n"
             "\"N\"=hex(0):\r\n"
             "\"Odd\"=hex(100000): ff , 01\r\n"
             "\"Bin\"=hex:de,ad\r\n"
             "\"\u2713\"=\"\u20ac\u2713\"\r\n"),
       "K\tHKLM\t\n"
       "K\tHKLM\\SYSTEM\t\n"
       "K\tHKLM\\SYSTEM\\Sz%F5\t\n"
       "V\tHKLM\\SYSTEM\\Sz%F5|\tREG_SZ \"C:\\x %22q%22\"\n"
       "V\tHKLM\\SYSTEM\\Sz%F5|?\tREG_SZ \"%80?\"\n"
       "V\tHKLM\\SYSTEM\\Sz%F5|a%5Cb%22c\tREG_DWORD 0x0000002a\n"
       "V\tHKLM\\SYSTEM\\Sz%F5|Bin\tREG_BINARY hex:dead\n"
       "V\tHKLM\\SYSTEM\\Sz%F5|Exp\tREG_EXPAND_SZ \"%25%F5\"\n"
       "V\tHKLM\\SYSTEM\\Sz%F5|Multi\tREG_MULTI_SZ \"a%00?%00\"\n"
       "V\tHKLM\\SYSTEM\\Sz%F5|N\tREG_NONE hex:\n"
       "V\tHKLM\\SYSTEM\\Sz%F5|Odd\ttype 0x00100000 hex:ff01\n"
       "V\tHKLM\\SYSTEM\\Sz%F5|Q\tREG_QWORD 0x8000000000000001\n",
       "became '?'"},
      {"REGEDIT4 ANSI: string and hex(2)/hex(7) bytes kept as they are, other roots",
       "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K\xF5]\r\n\"S\"=\"\xFB\"\r\n"
       "\"E\"=hex(2):25,41,25,00\r\n\"M\"=hex(7):61,00,00\r\n"
       "[HKEY_USERS\\.DEFAULT]\r\n[HKEY_CLASSES_ROOT\\.inf]\r\n[HKEY_CURRENT_CONFIG]\r\n",
       "K\tHKCC\t\n"
       "K\tHKCR\t\n"
       "K\tHKCR\\.inf\t\n"
       "K\tHKCU\t\n"
       "K\tHKCU\\K%F5\t\n"
       "V\tHKCU\\K%F5|E\tREG_EXPAND_SZ \"%25A%25\"\n"
       "V\tHKCU\\K%F5|M\tREG_MULTI_SZ \"a%00\"\n"
       "V\tHKCU\\K%F5|S\tREG_SZ \"%FB\"\n"
       "K\tHKU\t\n"
       "K\tHKU\\.DEFAULT\t\n",
       ""},
      {"hivexregedit: UTF-8, LF, every value as hex(N), hex(1) and hex(4)",
       "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n"
       "\"Current\"=hex(4):01,00,00,00\n\"N\u0151\"=hex(1):51,01,00,00\n\n",
       "K\tHKLM\t\n"
       "K\tHKLM\\SYSTEM\t\n"
       "K\tHKLM\\SYSTEM\\Select\t\n"
       "V\tHKLM\\SYSTEM\\Select|Current\tREG_DWORD 0x00000001\n"
       "V\tHKLM\\SYSTEM\\Select|N%F5\tREG_SZ \"%F5\"\n",
       ""},
      {"a key or value given twice, in any case: one entry, first spelling, last value",
       Utf16(std::string(kV5) +
             "; comment\n[HKEY_LOCAL_MACHINE\\S\\\u0150]\n\"V\"=\"1\"\n\"W\"=\"k\"\n"
             "  \n[hkey_local_machine\\s\\\u0151]\n\"v\"=\"2\"\n"),
       "K\tHKLM\t\n"
       "K\tHKLM\\S\t\n"
       "K\tHKLM\\S\\%D5\t\n"
       "V\tHKLM\\S\\%D5|V\tREG_SZ \"2\"\n"
       "V\tHKLM\\S\\%D5|W\tREG_SZ \"k\"\n",
       "the last one wins"},
      {"CurrentControlSet beside the set Select names: the link, not regedit's copy",
       Utf16(std::string(kV5) +
             "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\Modem]\r\n\"S\"=dword:1\r\n"
             "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Modem]\r\n\"S\"=dword:1\r\n"
             "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:1\r\n"),
       "K\tHKLM\t\n"
       "K\tHKLM\\SYSTEM\t\n"
       "K\tHKLM\\SYSTEM\\ControlSet001\t\n"
       "K\tHKLM\\SYSTEM\\ControlSet001\\Services\t\n"
       "K\tHKLM\\SYSTEM\\ControlSet001\\Services\\Modem\t\n"
       "V\tHKLM\\SYSTEM\\ControlSet001\\Services\\Modem|S\tREG_DWORD 0x00000001\n"
       "L\tHKLM\\SYSTEM\\CurrentControlSet\t\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\n"
       "K\tHKLM\\SYSTEM\\Select\t\n"
       "V\tHKLM\\SYSTEM\\Select|Current\tREG_DWORD 0x00000001\n",
       "the copy's 3 entries left out"},
      {"CurrentControlSet exported alone: the tree it looks like",
       Utf16(std::string(kV5) + "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum]\r\n"),
       "K\tHKLM\t\n"
       "K\tHKLM\\SYSTEM\t\n"
       "K\tHKLM\\SYSTEM\\CurrentControlSet\t\n"
       "K\tHKLM\\SYSTEM\\CurrentControlSet\\Enum\t\n",
       ""},
  };
  for (const ValidCase& c : cases) {
    SCOPED_TRACE(c.name);
    MachineInput input;
    std::string error;
    ASSERT_TRUE(ReadRegistryExport(c.bytes, &input, &error)) << error;
    EXPECT_EQ(EntryLines(input), c.expected);
    EXPECT_TRUE(NotesMention(input, "no key security"));
    if (!c.expectedNote.empty()) {
      EXPECT_TRUE(NotesMention(input, c.expectedNote));
    }
  }
}

TEST(RegistryExportReader, AddsToAnEarlierInputKeepingItsSpellingAndSecurity) {
  MachineInput input;
  input.entries["HKLM\\SYSTEM"] = {'K', "HKLM\\SYSTEM", "sddl O:BA"};
  std::string error;
  ASSERT_TRUE(ReadRegistryExport(
      Utf16(std::string(kV5) + "[HKEY_LOCAL_MACHINE\\system\\Setup]\r\n\"A\"=\"1\"\r\n"), &input,
      &error))
      << error;
  EXPECT_EQ(EntryLines(input),
            "K\tHKLM\t\n"
            "K\tHKLM\\SYSTEM\tsddl O:BA\n"
            "K\tHKLM\\SYSTEM\\Setup\t\n"
            "V\tHKLM\\SYSTEM\\Setup|A\tREG_SZ \"1\"\n");
}

TEST(RegistryExportReader, ReadsWinesRegExportOfEveryType) {
  std::ifstream file(USBINST_SOURCE_DIR "/tests/data/exports/wine-reg-export.reg", std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  ASSERT_TRUE(LooksLikeRegistryExport(bytes.str()));
  MachineInput input;
  std::string error;
  ASSERT_TRUE(ReadRegistryExport(bytes.str(), &input, &error)) << error;
  const std::string key = "HKLM\\SOFTWARE\\RegExportFixture";
  EXPECT_EQ(EntryLines(input),
            "K\tHKLM\t\n"
            "K\tHKLM\\SOFTWARE\t\n"
            "K\t" + key + "\t\n"
            "V\t" + key + "|\tREG_SZ \"default value\"\n"
            "V\t" + key + "|BigEndian\tREG_DWORD_BIG_ENDIAN hex:0000002a\n"
            "V\t" + key + "|Binary\tREG_BINARY hex:00017f80ff\n"
            "V\t" + key + "|Custom\ttype 0x00001234 hex:abcd\n"
            "V\t" + key + "|Dword\tREG_DWORD 0x0000002a\n"
            "V\t" + key + "|DwordMax\tREG_DWORD 0xffffffff\n"
            "V\t" + key + "|Empty\tREG_SZ \"\"\n"
            "V\t" + key + "|EmptyBinary\tREG_BINARY hex:\n"
            "V\t" + key + "|Euro\tREG_SZ \"%80 and ?\"\n"
            "V\t" + key + "|Expand\tREG_EXPAND_SZ \"%25SystemRoot%25\\inf\"\n"
            "V\t" + key + "|Hungarian %F5%FB\tREG_SZ \"%E1rv%EDzt%FBr%F5 t%FCk%F6rf%FAr%F3g%E9p\"\n"
            "V\t" + key + "|Long\tREG_BINARY hex:000102030405060708090a0b0c0d0e0f101112131415"
                          "161718191a1b1c1d1e1f202122232425262728292a2b2c2d2e2f30313233343536"
                          "3738393a3b3c3d3e3f\n"
            "V\t" + key + "|Multi\tREG_MULTI_SZ \"one%00two%00%F5%00\"\n"
            "V\t" + key + "|None\tREG_NONE hex:0102\n"
            "V\t" + key + "|Plain\tREG_SZ \"text with %22quotes%22 and a \\ backslash\"\n"
            "V\t" + key + "|Qword\tREG_QWORD 0x1122334455667788\n"
            "K\t" + key + "\\Empty Key\t\n"
            "K\t" + key + "\\Sub\t\n"
            "K\t" + key + "\\Sub\\Deeper %F5key\t\n"
            "V\t" + key + "\\Sub\\Deeper %F5key|Value\tREG_SZ \"x\"\n");
}

std::string Levels(size_t count, size_t nameLength = 1) {
  std::string key = "[HKEY_LOCAL_MACHINE";
  for (size_t i = 0; i < count; ++i) key += "\\" + std::string(nameLength, 'k');
  return key + "]\r\n";
}

// What regedit and reg.exe of Windows, Wine's reg and regedit, and
// hivexregedit write for strings holding line breaks and control
// characters, for value types none of the usual ones, and for a hive's root:
// every form is read, and a value none of them would write is left out with
// a note, never the reason to refuse the machine.
TEST(RegistryExportReader, ReadsEveryExportersFormOfUnusualStringsAndTypes) {
  const std::string key = "[HKEY_LOCAL_MACHINE\\S]\r\n";
  const std::string v = "V\tHKLM\\S|";
  const std::string head = "K\tHKLM\t\nK\tHKLM\\S\t\n";
  const ValidCase cases[] = {
      // Wine (programs/reg/export.c, programs/regedit): \r and \n escapes,
      // in data and in names.
      {"Wine's \\r\\n", Utf16(kV5 + key + "\"Desc\"=\"One.\\r\\nTwo \\\"q\\\" \\\\ end\"\r\n"
                                        "\"a\\r\\nb\"=dword:00000001\r\n"),
       head + v + "a%0D%0Ab\tREG_DWORD 0x00000001\n" + v + "Desc\tREG_SZ \"One.%0D%0ATwo %22q%22 \\ end\"\n",
       ""},
      // Windows' regedit and reg.exe: the line break as it is, the string
      // going on at the next line; spaces before the break are the string's.
      {"regedit's raw line break", Utf16(kV5 + key + "\"Desc\"=\"One.  \r\nTwo\r\n\"\r\n\"b\"=\"x\"\r\n"),
       head + v + "b\tREG_SZ \"x\"\n" + v + "Desc\tREG_SZ \"One.  %0D%0ATwo%0D%0A\"\n",
       "a string goes on at the next line"},
      {"a raw line feed in a file of LF line ends",
       kV5 + std::string("[HKEY_LOCAL_MACHINE\\S]\n\"Desc\"=\"One\nTwo\"\n"),
       head + v + "Desc\tREG_SZ \"One%0ATwo\"\n", "line 4: a string goes on"},
      // Every other control character is written as it is.
      {"tab and control characters", Utf16(kV5 + key + "\"c\"=\"a\tb\x01" "c\x1f\"\r\n"),
       head + v + "c\tREG_SZ \"a%09b%01c%1F\"\n", ""},
      // A NUL: regedit and reg end the string there; hivexregedit writes the
      // bytes, NULs and all.
      {"NULs in hex(1)", Utf16(kV5 + key + "\"n\"=hex(1):61,00,00,00,62,00,00,00\r\n"),
       head + v + "n\tREG_SZ \"a%00b\"\n", ""},
      // Types none of the usual ones: reg.exe writes hex(N): with N in hex.
      {"types of no usual kind", Utf16(kV5 + key + "\"u\"=hex(100):25,50,00\r\n"
                                          "\"w\"=hex(abcd):56,00\r\n\"d\"=hex(4):\r\n"),
       head + v + "d\tREG_DWORD hex:\n" + v + "u\ttype 0x00000100 hex:255000\n" + v +
           "w\ttype 0x0000abcd hex:5600\n",
       ""},
      // Real hives hold strings of an odd number of bytes.
      {"odd-length string data", Utf16(kV5 + key + "\"o\"=hex(1):61,00,62\r\n"),
       head + v + "o\tREG_SZ \"a\" unterminated\n", "line 4: hex(1) data of odd length"},
      // No tool writes \x: that value alone is left out.
      {"an unknown escape", Utf16(kV5 + key + "\"a\"=\"C:\\x\"\r\n\"b\"=\"y\"\r\n\"c\\t\"=\"z\"\r\n"),
       head + v + "b\tREG_SZ \"y\"\n", "line 4: value \"a\" of HKLM\\S holds the escape \\x"},
      // hivexregedit --prefix names the hive's root with a backslash at its
      // end, and a hive file holds no CurrentControlSet: the reader gives
      // the link a running Windows has.
      {"a hive file's export", kV5 + std::string("[HKEY_LOCAL_MACHINE\\SYSTEM\\]\n\n"
                                                 "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002]\n\n"
                                                 "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n"
                                                 "\"Current\"=dword:00000002\n"),
       "K\tHKLM\t\nK\tHKLM\\SYSTEM\t\nK\tHKLM\\SYSTEM\\ControlSet002\t\n"
       "L\tHKLM\\SYSTEM\\CurrentControlSet\t\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet002\n"
       "K\tHKLM\\SYSTEM\\Select\t\nV\tHKLM\\SYSTEM\\Select|Current\tREG_DWORD 0x00000002\n",
       "read as Windows' link to ControlSet002"},
  };
  for (const ValidCase& c : cases) {
    SCOPED_TRACE(c.name);
    MachineInput input;
    std::string error;
    ASSERT_TRUE(ReadRegistryExport(c.bytes, &input, &error)) << error;
    EXPECT_EQ(EntryLines(input), c.expected);
    if (!c.expectedNote.empty()) {
      EXPECT_TRUE(NotesMention(input, c.expectedNote)) << c.expectedNote;
    }
  }
}

// A hive file's export read into a description whose SYSTEM key an earlier
// input spelled otherwise: the link made for CurrentControlSet hangs from
// that key as it is spelled (a fuzzer found it made beside its parent).
TEST(RegistryExportReader, TheControlSetLinkHangsFromTheSystemKeyAsSpelled) {
  MachineInput input;
  input.entries["HKLM"] = {'K', "HKLM", ""};
  input.entries["HKLM\\system"] = {'K', "HKLM\\system", ""};
  std::string error;
  ASSERT_TRUE(ReadRegistryExport(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services]\r\n\"S\"=dword:1\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:2\r\n",
      &input, &error))
      << error;
  auto link = input.entries.find("HKLM\\system\\CurrentControlSet");
  ASSERT_NE(link, input.entries.end()) << EntryLines(input);
  EXPECT_EQ(link->second.kind, 'L');
  EXPECT_FALSE(input.entries.count("HKLM\\SYSTEM\\CurrentControlSet")) << EntryLines(input);
}

TEST(RegistryExportReader, WindowsOwnLimitsAreTheBounds) {
  // At the limits the export is read; one beyond, it is refused.
  MachineInput input;
  std::string error;
  EXPECT_TRUE(ReadRegistryExport(Utf16(kV5 + Levels(kMaxKeyDepth)), &input, &error)) << error;
  EXPECT_EQ(input.entries.size(), kMaxKeyDepth + 1);
  EXPECT_TRUE(ReadRegistryExport(Utf16(kV5 + Levels(1, kMaxKeyNameLength)), &input, &error));
  std::string name(kMaxValueNameLength, 'n');
  std::string data(kMaxValueDataBytes - 1, 'd');
  EXPECT_TRUE(ReadRegistryExport(
      Utf16(kV5 + Levels(1) + "\"" + name + "\"=\"" + data + "\"\r\n"), &input, &error))
      << error;

  for (const std::string& beyond :
       {kV5 + Levels(kMaxKeyDepth + 1), kV5 + Levels(1, kMaxKeyNameLength + 1),
        kV5 + Levels(1) + "\"" + name + "n\"=\"\"\r\n",
        kV5 + Levels(1) + "\"\"=\"" + data + "d\"\r\n"}) {
    EXPECT_FALSE(ReadRegistryExport(Utf16(beyond), &input, &error));
    EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
  }
  std::string huge = Utf16(kV5 + Levels(1));
  huge.resize(kMaxExportBytes + 1, ' ');
  EXPECT_FALSE(ReadRegistryExport(huge, &input, &error));
  EXPECT_NE(error.find("more than the 128 MiB"), std::string::npos) << error;
}

struct HostileCase {
  const char* name;
  std::string bytes;
  const char* fragment;
};

std::string HugeHex() {
  std::string line = "\"H\"=hex:00";
  for (size_t i = 0; i < kMaxValueDataBytes; ++i) line += i % 25 == 24 ? ",00,\\\r\n  00" : ",00";
  return line + "\r\n";
}

std::string BigEndian(std::string littleEndian) {
  for (size_t i = 0; i + 1 < littleEndian.size(); i += 2) std::swap(littleEndian[i], littleEndian[i + 1]);
  return littleEndian;
}

TEST(RegistryExportReader, RefusesHostileInputNamingTheLineAndLeavesTheInputAlone) {
  const std::string key = "[HKEY_LOCAL_MACHINE\\S]\r\n";
  const std::string v5 = kV5 + key;
  const HostileCase cases[] = {
      {"cut string", Utf16(v5 + "\"a\"=\"abc"), "line 4: a string without its closing quote"},
      {"cut name", Utf16(v5 + "\"abc"), "line 4: a string without its closing quote"},
      {"a string cut at a line end", Utf16(v5 + "\"a\"=\"abc\r\n"),
       "line 4: a string without its closing quote"},
      {"a string running into the next value", Utf16(v5 + "\"a\"=\"abc\r\n\"b\"=\"x\"\r\n"),
       "line 5: text after the string's closing quote"},
      {"hex cut mid-continuation", Utf16(v5 + "\"a\"=hex:01,02,\\\r\n  03,\\\r\n"),
       "line 5: the file ends inside hex data"},
      {"hex cut after a comma", Utf16(v5 + "\"a\"=hex:01,02,\r\n"), "line 4: hex data ends in ','"},
      {"a last line cut short", Utf16(v5 + "\"a\"=hex:01,\\\r\n  02"),
       "line 5: the last line has no line end"},
      {"key line without ]", Utf16(kV5 + std::string("[HKEY_LOCAL_MACHINE\\Sof")),
       "line 3: a key line without its closing ']'"},
      {"UTF-16 without a byte-order mark", Utf16(v5).substr(2), "UTF-16 without a byte-order mark"},
      {"UTF-16 big-endian", BigEndian(Utf16(v5)), "line 1: UTF-16 big-endian"},
      {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + v5, "UTF-8 with a byte-order mark"},
      {"UTF-16 cut in half a character", Utf16(v5) + "\x22", "line 4: the file ends in half a UTF-16 character"},
      {"binary garbage", std::string("\x7F" "ELF\x02\x01\x01\xFF\xFE", 9), "not a registry export"},
      {"NUL inside a line", Utf16(v5 + "\"a\"=\"x") + std::string("\0\0", 2) + Utf16("y\"").substr(2),
       "line 4: a NUL character"},
      {"10,000 levels", Utf16(kV5 + Levels(10000)), "line 3: the key is more than 512 levels"},
      {"dword:zzz", Utf16(v5 + "\"a\"=dword:zzz"), "line 4: dword: needs 1 to 8 hex digits"},
      {"dword of 10 digits", Utf16(v5 + "\"a\"=dword:1234567890"), "dword: needs 1 to 8"},
      {"a byte of one digit", Utf16(v5 + "\"a\"=hex:1,02"), "a hex byte of 1 digits"},
      {"a byte of three digits", Utf16(v5 + "\"a\"=hex:012"), "a hex byte of 3 digits"},
      {"bytes without a comma", Utf16(v5 + "\"a\"=hex:01 02"), "need a ',' between them"},
      {"huge hex value", Utf16(v5 + HugeHex()), "value data longer than 1048576 bytes"},
      {"deletes a key", Utf16(kV5 + std::string("[-HKEY_LOCAL_MACHINE\\S]")), "deletes a key"},
      {"deletes a value", Utf16(v5 + "\"a\"=-"), "line 4: \"name\"=- deletes a value"},
      {"hivexregedit without --prefix", kV5 + std::string("[\\Select]\n"), "--prefix"},
      {"hivexregedit's lossy strings", v5 + "\"a\"=str(1):\"x\"\n", "str(N):"},
      {"a value before any key", Utf16(kV5 + std::string("@=\"x\"")), "before the first key"},
      {"unknown root", Utf16(kV5 + std::string("[HKEY_PERFORMANCE_DATA\\x]")), "unknown root"},
      {"empty file", "", "line 1: the file is empty"},
  };
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.name);
    MachineInput input;
    input.entries["HKLM\\Before"] = {'K', "HKLM\\Before", ""};
    std::string error;
    EXPECT_FALSE(ReadRegistryExport(c.bytes, &input, &error));
    EXPECT_NE(error.find(c.fragment), std::string::npos) << error;
    // Recognised as an export, wrongly encoded or not, so that this message
    // is the one a user sees.
    bool garbage = c.bytes.empty() || std::string(c.name) == "binary garbage";
    EXPECT_EQ(LooksLikeRegistryExport(c.bytes), !garbage);
    EXPECT_EQ(EntryLines(input), "K\tHKLM\\Before\t\n");
    EXPECT_TRUE(input.notes.empty());
  }
}

}  // namespace
}  // namespace preview
