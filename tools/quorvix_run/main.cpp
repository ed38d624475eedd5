#include "tools/quorvix_run/run_options.h"
#include "tools/quorvix_run/run_rom.h"

#include <cstdio>

int main(int argc, char** argv) {
    int exitCode = 0;
    if (const auto options = parseRunOptions(argc, argv, exitCode)) {
        exitCode = runRom(*options);
    }
    // Output lost on the way (a full disk, a closed pipe) must not pass for success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "quorvix-run: cannot write to standard output\n");
        if (exitCode == 0) {
            exitCode = 1;
        }
    }
    return exitCode;
}
