#include "tests/chip8_test_machine.h"

#include "app/console_log.h"
#include "app/emulator_state.h"
#include "chip8/interpreter.h"
#include "chip8/reset_request.h"
#include "chip8/screen_cells.h"
#include "chip8/start_stop.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "platform/keyboard.h"

#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

void loadChip8Program(const std::vector<std::uint8_t>& program) {
    chip8.memory.fill(0);
    std::copy(smallFont.begin(), smallFont.end(), chip8.memory.begin());
    std::copy(bigFont.begin(), bigFont.end(), chip8.memory.begin() + chip8BigFontStart);
    std::copy_n(program.begin(), std::min<std::size_t>(program.size(), chip8MemorySize - 512),
                chip8.memory.begin() + chip8ProgramStart);
    resetChip8Machine();
    chip8.eraseFlag = 0;
    chip8.stack.fill(0);
}

void runChip8(std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i) {
        stepChip8(elapsedNanoseconds());
    }
}

std::string chip8ScreenRows(bool highResolution) {
    const std::uint32_t scale = highResolution ? 1 : 2;
    std::string text;
    for (std::uint32_t y = 0; y < chip8ScreenHeight; y += scale) {
        for (std::uint32_t x = 0; x < chip8ScreenWidth; x += scale) {
            text += readScreenCell(chip8, std::size_t{y} * chip8ScreenWidth + x) != 0 ? '#' : '.';
        }
        text += '\n';
    }
    return text;
}

std::string pictureRows(const std::filesystem::path& path, std::uint32_t columns,
                        std::uint32_t rows) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return {};
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint32_t> pixels(std::size_t{image.width} * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return {};
    }
    const std::uint32_t blockWidth = image.width / columns;
    const std::uint32_t blockHeight = image.height / rows;
    const std::uint32_t background = pixels.back(); // no picture lights its last pixel
    std::string text;
    for (std::uint32_t y = 0; y < rows; ++y) {
        for (std::uint32_t x = 0; x < columns; ++x) {
            const std::size_t centre =
                std::size_t{y * blockHeight + blockHeight / 2} * image.width + x * blockWidth +
                blockWidth / 2;
            text += pixels[centre] != background ? '#' : '.';
        }
        text += '\n';
    }
    return text;
}

bool waitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void Chip8MachineTest::SetUp() {
    initClock();
    EmulatorMode = MachineKind::Chip8;
    headless::captureConsole(true);
    headless::takeConsoleText();
    headless::takePostedCommands();
    clearChip8ResetRequest();
    releaseAllKeys();
    verboseConsole = 1;
}

void Chip8MachineTest::TearDown() {
    verboseConsole = 0;
    useRealClock();
    releaseAllKeys();
    headless::takePostedCommands();
    clearChip8ResetRequest();
    headless::captureConsole(false);
}

std::string Chip8MachineTest::console() {
    return headless::takeConsoleText();
}
