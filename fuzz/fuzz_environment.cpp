#include "fuzz/fuzz_environment.h"

#include "chip16/frame_pacer.h"
#include "display/picture_display.h"
#include "platform/clock.h"
#include "platform/console_log.h"
#include "platform/headless/headless_host.h"
#include "platform/random.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace {
// Removed when the process ends normally; a crashed run leaves it in the temp folder.
struct ScratchFile {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("quorvix-fuzz-" + std::to_string(getpid()) + ".rom"))
                           .string();
    ~ScratchFile() { std::remove(path.c_str()); }
};

ScratchFile& scratchFile() {
    static ScratchFile file;
    return file;
}
} // namespace

void prepareFuzzEnvironment() {
    static const bool prepared = [] {
        initClock();
        useManualClock(1);
        setRefreshWaitEnabled(false);
        headless::setMainSurface(&fuzzFrameSink());
        headless::captureConsole(true);
        verboseConsole = 0;
        return true;
    }();
    (void)prepared;
}

headless::FrameSink& fuzzFrameSink() {
    static headless::FrameSink sink;
    return sink;
}

void openFuzzConsole(bool on) {
    verboseConsole = on ? 1 : 0;
}

void closeFuzzConsole() {
    verboseConsole = 0;
    headless::takeConsoleText();
    headless::takePostedCommands();
}

void holdKeys(MachineKeys& keys, std::span<const unsigned> keyOfBit, std::uint32_t mask) {
    for (std::size_t k = 0; k < keyOfBit.size(); ++k) {
        keys.set(keyOfBit[k], ((mask >> k) & 1u) != 0);
    }
}

RandomState fuzzRandom() {
    return seededRandom(1);
}

const std::string& writeScratchRom(std::span<const std::uint8_t> bytes) {
    const std::string& path = scratchFile().path;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        std::abort();
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        std::perror(path.c_str());
        std::abort();
    }
    std::fclose(file);
    return path;
}
