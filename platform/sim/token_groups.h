// The groups of the simulated process token and the well-known SIDs the
// security checks of the machine compare with.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/win_types.h"

namespace sim {

class Machine;

// A SID as Windows lays it out: revision 1, sub-authority count, the 6-byte
// identifier authority (big-endian), then the sub-authorities.
std::vector<uint8_t> MakeSid(uint8_t authority, std::initializer_list<DWORD> subAuthorities);
std::vector<uint8_t> EveryoneSid();        // S-1-1-0
std::vector<uint8_t> LocalSystemSid();     // S-1-5-18
std::vector<uint8_t> AdministratorsSid();  // S-1-5-32-544
std::vector<uint8_t> UsersSid();           // S-1-5-32-545

// The byte length of a valid SID at `sid`, 0 when it is none.
size_t SidLength(const uint8_t* sid);

struct TokenGroup {
  std::vector<uint8_t> sid;
  DWORD attributes;
};

// The groups of an interactive user: Everyone, BUILTIN\Administrators (when
// the machine's user is an administrator; for deny only when the system says
// so), BUILTIN\Users, INTERACTIVE and Authenticated Users.
std::vector<TokenGroup> TokenGroupsOf(const Machine& machine);

}  // namespace sim
