#include "tools/quorvix_run/run_options.h"
#include "tools/quorvix_run/run_rom.h"

int main(int argc, char** argv) {
    int exitCode = 0;
    const auto options = parseRunOptions(argc, argv, exitCode);
    if (!options) {
        return exitCode;
    }
    return runRom(*options);
}
