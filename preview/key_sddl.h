// Key security descriptors as SDDL text, in both directions: the snapshot
// of the simulated machine writes a key's owner and DACL this way, and the
// image builder gives a key the descriptor its snapshot line names, as
// Windows' ConvertSecurityDescriptorToStringSecurityDescriptor writes it
// ("O:SYG:SYD:P(A;CI;KA;;;SY)(A;CIID;KR;;;BA)"). The simulated machine keeps
// no group, so a group is read and dropped.
#pragma once

#include <string>
#include <string_view>

#include "platform/sim/key_security.h"

namespace preview {

// "O:<sid>D:(ace)..." with SIDs as S-1-... and rights in hex; "D:NO_ACCESS_CONTROL"
// for a descriptor without a DACL.
std::string FormatKeySddl(const sim::KeySecurity& security);

// Reads owner ("O:"), group ("G:", dropped) and DACL ("D:", with its flags
// P, AI, AR and NO_ACCESS_CONTROL) of SDDL text; ACE types A and D, flags
// CI OI NP IO ID, rights as 0x... or the two-letter codes, trustees as
// S-1-... or the well-known abbreviations. False for anything else, with
// the reason in *error.
bool ParseKeySddl(std::string_view text, sim::KeySecurity* security, std::string* error);

}  // namespace preview
