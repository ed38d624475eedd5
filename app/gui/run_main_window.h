#pragma once

// Shows the main window and runs the GUI thread's event loop until the window is
// ended (Exit, the close box or Escape), which stops both machines; then closes an
// open console. Returns the process's exit code, always 7. Needs a QApplication.
int runMainWindow();
