// usbinst_preview: what a removal would take from a machine, shown before
// anything is touched (see preview/preview_command.h).
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "preview/preview_command.h"

int main(int argc, char** argv) {
  try {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return preview::PreviewCommand(arguments, std::cout, std::cerr);
  } catch (const std::bad_alloc&) {
    std::cerr << "usbinst_preview: input too large\n";
  } catch (const std::exception& problem) {
    std::cerr << "usbinst_preview: " << problem.what() << '\n';
  } catch (...) {
    std::cerr << "usbinst_preview: unexpected failure\n";
  }
  return 2;
}
