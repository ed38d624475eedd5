// What the sanitizers are not to report in Qt and the libraries under it; linked into
// every test program that runs Qt.

#if defined(__SANITIZE_THREAD__)
// Qt is not built with the thread sanitizer: its mutexes, semaphores and atomics hand
// data between threads in ways the sanitizer cannot see, so what Qt's own code does
// with memory is not checked. Everything compiled here still is.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           // Its X platform plugin passes X events from its reader thread the same way.
           "called_from_lib:libQt6XcbQpa.so.6\n"
           // When Qt closes its X connection, libxcb destroys the lock of its extension
           // data, which the sanitizer takes to be still held: libxcb's own lock.
           "mutex:libxcb.so.1\n"
           // Its connection lock and extension-data lock are taken in either order by
           // libxcb itself; no code of ours holds them.
           "deadlock:libxcb.so.1\n"
           // Qt's worker threads (icon rendering) free glib's memory the same way.
           "called_from_lib:libglib-2.0.so.0\n";
}
#endif

#if defined(__SANITIZE_ADDRESS__)
// On an X server Qt talks to the session bus, whose library keeps a buffer to the end.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so.3\n";
}
#endif
