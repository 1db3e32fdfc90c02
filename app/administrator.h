#pragma once

// 1 when the process token lists BUILTIN\Administrators among its groups,
// enabled or deny-only: membership alone counts.
int IsUserAdministrator();
