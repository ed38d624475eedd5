#pragma once
// Opening, showing and hiding the Console window. GUI thread only.

// Opens the console when none is open, sets the "Show Console" check mark, raises the
// main window and prints the banner.
void showConsole();
// Closes an open console and clears the check mark.
void hideConsole();
void openConsole();
bool isConsoleOpen();
