#pragma once

#include "app/machine_choices.h"

#include <optional>
#include <string>

// Shows the main window with the user's machine choices and the ROM named on the
// command line (none: an empty window), and runs the GUI thread's event loop until the
// window is ended (Exit, the close box or Escape), which stops the machine; then closes
// an open console. `sound` starts with Sound on. Returns the process's exit code,
// always 7. Needs a QApplication.
int runMainWindow(const MachineChoices& choices, const std::optional<std::string>& rom,
                  bool sound = false);
