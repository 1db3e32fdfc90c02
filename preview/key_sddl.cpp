#include "preview/key_sddl.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "platform/sim/token_groups.h"

namespace preview {
namespace {

struct Abbreviation {
  const char* code;
  uint32_t value;
};

// Two-letter rights of SDDL as they apply to a registry key (Microsoft,
// "Access Rights and Access Masks", "ACE Strings").
const Abbreviation kRights[] = {
    {"KA", 0xF003F},    {"KR", 0x20019},    {"KW", 0x20006},    {"KX", 0x20019}, {"GA", 0x10000000},
    {"GR", 0x80000000}, {"GW", 0x40000000}, {"GX", 0x20000000}, {"RC", 0x20000}, {"SD", 0x10000},
    {"WD", 0x40000},    {"WO", 0x80000},    {"CC", 0x1},        {"DC", 0x2},     {"LC", 0x4},
    {"SW", 0x8},        {"RP", 0x10},       {"WP", 0x20},       {"DT", 0x40},    {"LO", 0x80},
    {"CR", 0x100}};

const Abbreviation kAceFlags[] = {{"OI", 0x1}, {"CI", 0x2}, {"NP", 0x4}, {"IO", 0x8}, {"ID", 0x10}};

struct WellKnownSid {
  const char* code;
  const char* sid;
};

const WellKnownSid kSids[] = {
    {"WD", "S-1-1-0"},      {"CO", "S-1-3-0"},      {"CG", "S-1-3-1"},      {"NU", "S-1-5-2"},
    {"IU", "S-1-5-4"},      {"SU", "S-1-5-6"},      {"AN", "S-1-5-7"},      {"AU", "S-1-5-11"},
    {"RC", "S-1-5-12"},     {"SY", "S-1-5-18"},     {"LS", "S-1-5-19"},     {"NS", "S-1-5-20"},
    {"BA", "S-1-5-32-544"}, {"BU", "S-1-5-32-545"}, {"BG", "S-1-5-32-546"}, {"PU", "S-1-5-32-547"},
    {"AO", "S-1-5-32-548"}, {"SO", "S-1-5-32-549"}, {"PO", "S-1-5-32-550"}, {"BO", "S-1-5-32-551"},
    {"RE", "S-1-5-32-552"}, {"RU", "S-1-5-32-554"}, {"RD", "S-1-5-32-555"}, {"NO", "S-1-5-32-556"}};

uint32_t Dword(const uint8_t* at) {
  return at[0] | at[1] << 8 | at[2] << 16 | uint32_t(at[3]) << 24;
}

std::string SidText(const std::vector<uint8_t>& sid) {
  if (sid.size() < 8 || sim::SidLength(sid.data()) != sid.size()) return "S-1-0";
  uint64_t authority = 0;
  for (int i = 2; i < 8; ++i) authority = authority << 8 | sid[i];
  std::string text = "S-1-" + std::to_string(authority);
  for (size_t i = 8; i + 4 <= sid.size(); i += 4) text += "-" + std::to_string(Dword(&sid[i]));
  return text;
}

// "S-1-5-32-544" to SID bytes.
bool SidBytes(std::string_view text, std::vector<uint8_t>* sid) {
  if (text.substr(0, 4) != "S-1-") return false;
  std::vector<uint64_t> numbers;
  size_t start = 4;
  while (start <= text.size()) {
    size_t end = text.find('-', start);
    if (end == std::string_view::npos) end = text.size();
    if (end == start || end - start > 12) return false;
    uint64_t number = 0;
    for (char c : text.substr(start, end - start)) {
      if (c < '0' || c > '9') return false;
      number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    numbers.push_back(number);
    start = end + 1;
  }
  if (numbers.empty() || numbers.size() > 16 || numbers[0] > 0xFFFFFFFFFFFFull) return false;
  sid->assign(8, 0);
  (*sid)[0] = 1;
  (*sid)[1] = static_cast<uint8_t>(numbers.size() - 1);
  for (int i = 0; i < 6; ++i) (*sid)[2 + i] = static_cast<uint8_t>(numbers[0] >> (8 * (5 - i)));
  for (size_t i = 1; i < numbers.size(); ++i) {
    if (numbers[i] > 0xFFFFFFFFull) return false;
    for (int b = 0; b < 4; ++b) sid->push_back(static_cast<uint8_t>(numbers[i] >> (8 * b)));
  }
  return true;
}

bool ParseTrustee(std::string_view text, std::vector<uint8_t>* sid) {
  for (const WellKnownSid& known : kSids) {
    if (text == known.code) return SidBytes(known.sid, sid);
  }
  return SidBytes(text, sid);
}

// Two-letter codes one after the other, or (for rights) one hex number.
bool ParseCodes(std::string_view text, const Abbreviation* table, size_t count, bool hexToo,
                uint32_t* value) {
  *value = 0;
  if (hexToo && (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X")) {
    if (text.size() < 3 || text.size() > 10) return false;
    for (char c : text.substr(2)) {
      if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    *value = static_cast<uint32_t>(std::strtoul(std::string(text.substr(2)).c_str(), nullptr, 16));
    return true;
  }
  if (text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    bool known = false;
    for (size_t k = 0; k < count && !known; ++k) {
      if (text.substr(i, 2) == table[k].code) {
        *value |= table[k].value;
        known = true;
      }
    }
    if (!known) return false;
  }
  return true;
}

bool Fail(std::string* error, std::string reason) {
  *error = std::move(reason);
  return false;
}

// One "(type;flags;rights;object;inherited object;trustee)".
bool ParseAce(std::string_view text, sim::Ace* ace, std::string* error) {
  std::string_view fields[6];
  size_t start = 0;
  for (int i = 0; i < 6; ++i) {
    size_t end = i == 5 ? text.size() : text.find(';', start);
    if (end == std::string_view::npos) return Fail(error, "an ACE has fewer than six fields");
    fields[i] = text.substr(start, end - start);
    start = end + 1;
  }
  if (fields[5].find(';') != std::string_view::npos) {
    return Fail(error, "an ACE has more than six fields");
  }
  if (fields[0] == "A") {
    ace->type = ACCESS_ALLOWED_ACE_TYPE;
  } else if (fields[0] == "D") {
    ace->type = ACCESS_DENIED_ACE_TYPE;
  } else {
    return Fail(error, "ACE type \"" + std::string(fields[0]) + "\" is not A or D");
  }
  uint32_t flags = 0;
  if (!ParseCodes(fields[1], kAceFlags, std::size(kAceFlags), false, &flags)) {
    return Fail(error, "unknown ACE flags \"" + std::string(fields[1]) + "\"");
  }
  ace->flags = static_cast<uint8_t>(flags);
  if (!ParseCodes(fields[2], kRights, std::size(kRights), true, &ace->mask)) {
    return Fail(error, "unknown rights \"" + std::string(fields[2]) + "\"");
  }
  if (!fields[3].empty() || !fields[4].empty()) return Fail(error, "object ACEs are not keys'");
  if (!ParseTrustee(fields[5], &ace->sid)) {
    return Fail(error, "unknown trustee \"" + std::string(fields[5]) + "\"");
  }
  return true;
}

bool ParseDacl(std::string_view text, sim::KeySecurity* security, std::string* error) {
  size_t first = text.find('(');
  std::string_view flags = text.substr(0, first == std::string_view::npos ? text.size() : first);
  security->daclPresent = true;
  security->dacl.clear();
  if (flags.find("NO_ACCESS_CONTROL") != std::string_view::npos) {
    security->daclPresent = false;
    return first == std::string_view::npos || Fail(error, "ACEs after NO_ACCESS_CONTROL");
  }
  for (size_t i = 0; i < flags.size();) {
    if (flags.substr(i, 2) == "AI" || flags.substr(i, 2) == "AR") {
      i += 2;
    } else if (flags[i] == 'P') {
      ++i;
    } else {
      return Fail(error, "unknown DACL flags \"" + std::string(flags) + "\"");
    }
  }
  size_t at = first;
  while (at != std::string_view::npos && at < text.size()) {
    if (text[at] != '(') return Fail(error, "text between ACEs");
    size_t close = text.find(')', at);
    if (close == std::string_view::npos) return Fail(error, "an ACE is not closed");
    sim::Ace ace;
    if (!ParseAce(text.substr(at + 1, close - at - 1), &ace, error)) return false;
    security->dacl.push_back(std::move(ace));
    at = close + 1;
  }
  return true;
}

}  // namespace

std::string FormatKeySddl(const sim::KeySecurity& security) {
  std::string text;
  if (!security.owner.empty()) text += "O:" + SidText(security.owner);
  text += "D:";
  if (!security.daclPresent) return text + "NO_ACCESS_CONTROL";
  for (const sim::Ace& ace : security.dacl) {
    std::string flags;
    for (const Abbreviation& flag : kAceFlags) {
      if (ace.flags & flag.value) flags += flag.code;
    }
    char mask[16];
    std::snprintf(mask, sizeof mask, "0x%x", static_cast<unsigned>(ace.mask));
    text += std::string("(") + (ace.type == ACCESS_DENIED_ACE_TYPE ? "D" : "A") + ";" + flags +
            ";" + mask + ";;;" + SidText(ace.sid) + ")";
  }
  return text;
}

bool ParseKeySddl(std::string_view text, sim::KeySecurity* security, std::string* error) {
  *security = sim::KeySecurity();
  // The parts in any order, each up to the next "X:" that is no part of an ACE.
  size_t at = 0;
  while (at < text.size()) {
    if (at + 2 > text.size() || text[at + 1] != ':') return Fail(error, "expected O:, G: or D:");
    char part = text[at];
    size_t end = at + 2;
    int depth = 0;
    while (end < text.size()) {
      char c = text[end];
      if (c == '(') ++depth;
      if (c == ')') --depth;
      if (depth == 0 && end + 1 < text.size() && text[end + 1] == ':' &&
          (c == 'O' || c == 'G' || c == 'D' || c == 'S') && text[end - 1] != '(') {
        // "O:" inside a DACL's flags cannot occur, and an ACE is inside parentheses.
        break;
      }
      ++end;
    }
    std::string_view body = text.substr(at + 2, end - at - 2);
    if (part == 'O') {
      if (!ParseTrustee(body, &security->owner)) return Fail(error, "unknown owner");
    } else if (part == 'G') {
      std::vector<uint8_t> group;
      if (!ParseTrustee(body, &group)) return Fail(error, "unknown group");
    } else if (part == 'D') {
      if (!ParseDacl(body, security, error)) return false;
    } else if (part != 'S') {
      return Fail(error, std::string("unknown part \"") + part + ":\"");
    }
    at = end;
  }
  return true;
}

}  // namespace preview
