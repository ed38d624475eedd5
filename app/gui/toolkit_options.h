#pragma once
// Qt's own command-line options (-platform offscreen, -style Fusion, -display :1, ...),
// which the GUI toolkit takes for itself when it starts. The program's options are
// parsed before that, without a display, so these must be set aside by hand.

#include <string>
#include <vector>

// The arguments (argv[0] first) without the toolkit's options and their values; "--"
// and everything after it are kept as they are.
std::vector<std::string> removeToolkitOptions(int argc, const char* const* argv);
