#pragma once
// The operating system's name of a thread, as top -H, debuggers and sanitizer reports
// show it.

// Names the calling thread; longer names are cut to the 15 characters the system keeps.
void nameCurrentThread(const char* name);
