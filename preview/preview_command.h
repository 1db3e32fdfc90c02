// The command line of usbinst_preview:
//
//   usbinst_preview [--version V] [--html OUT.html] [--changes OUT.txt]
//                   [--standard-user] (--live | INPUT...)
//
// The text report goes to `out`; a problem with the command line or an input
// gives one message on `err` and exit code 2; a preview that ran gives 0.
// --standard-user previews the run of a user without administrator rights.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace preview {

int PreviewCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace preview
