// Linked into every test program that runs Qt.

#if defined(__SANITIZE_THREAD__)
// Qt is not built with the thread sanitizer: its mutexes, semaphores and atomics hand
// data between threads in ways the sanitizer cannot see, so what Qt's own code does
// with memory is not checked. Everything compiled here still is.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           // Qt's worker threads (icon rendering) free glib's memory the same way.
           "called_from_lib:libglib-2.0.so.0\n";
}
#endif
