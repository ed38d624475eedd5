#pragma once
// Console output captured, with messages on, for as long as the object lives.

#include "platform/console_log.h"
#include "platform/headless/headless_host.h"

#include <string>

struct CapturedConsole {
    CapturedConsole() {
        headless::captureConsole(true);
        headless::takeConsoleText();
        verboseConsole = 1;
    }
    ~CapturedConsole() {
        verboseConsole = 0;
        headless::captureConsole(false);
    }
    CapturedConsole(const CapturedConsole&) = delete;
    CapturedConsole& operator=(const CapturedConsole&) = delete;
    // The text since the last call.
    static std::string take() { return headless::takeConsoleText(); }
};
