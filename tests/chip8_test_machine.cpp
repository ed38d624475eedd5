#include "tests/chip8_test_machine.h"

#include "chip8/tick_pacer.h"
#include "platform/rom_file.h"

#include "tests/support/tool_output.h"

#include <chrono>
#include <thread>

std::string chip8ScreenRows(const Chip8Machine& m) {
    const std::string text = chip8ScreenText(m);
    return text.substr(text.find('\n') + 1);
}

std::string cut(const std::string& rows, const Area& area) {
    const std::size_t stride = rows.find('\n') + 1;
    std::string part;
    for (std::uint32_t y = area.row; y < area.row + area.height; ++y) {
        part += rows.substr(y * stride + area.column, area.width) + '\n';
    }
    return part;
}

std::string blank(std::string rows, const std::vector<Area>& areas) {
    const std::size_t stride = rows.find('\n') + 1;
    for (const Area& area : areas) {
        for (std::uint32_t y = area.row; y < area.row + area.height; ++y) {
            rows.replace(y * stride + area.column, area.width, area.width, '?');
        }
    }
    return rows;
}

std::string pictureRows(const std::filesystem::path& path, std::uint32_t columns,
                        std::uint32_t rows) {
    const PngPixels picture = readPng(path);
    std::string text;
    for (std::uint32_t y = 0; y < rows && !picture.rgba.empty(); ++y) {
        for (std::uint32_t x = 0; x < columns; ++x) {
            const std::size_t centreY = (2 * y + 1) * picture.height / (2 * rows);
            const std::size_t centreX = (2 * x + 1) * picture.width / (2 * columns);
            // No picture lights its last pixel.
            text +=
                picture.rgba[centreY * picture.width + centreX] != picture.rgba.back() ? '#' : '.';
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

void Chip8Harness::SetUp() {
    initClock();
    headless::takePostedCommands();
    m.rules = quorvixRules;
    load({});
}

void Chip8Harness::TearDown() {
    useRealClock();
    headless::takePostedCommands();
}

void Chip8Harness::loadRom(const std::string& path) {
    const auto rom = readRomImage(path);
    EXPECT_TRUE(rom) << path;
    loadChip8Rom(m, rom.value_or(std::vector<std::uint8_t>{}));
    resetChip8Machine(m);
    m.eraseFlag = 0;
    m.stack.fill(0);
}

void Chip8Harness::execute(const Chip8Program& program,
                           const std::vector<std::pair<int, int>>& registers, int steps) {
    load(program.bytes());
    for (const auto& [index, value] : registers) {
        m.V[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
    }
    run(static_cast<std::uint64_t>(steps));
}

void Chip8MachineTest::SetUp() {
    sink.setRefreshPeriod(1'000'000);
    headless::setMainSurface(&sink);
    Chip8Harness::SetUp();
}

void Chip8MachineTest::TearDown() {
    runtime->stop();
    runtime->display().reset();
    headless::setMainSurface(nullptr);
    Chip8Harness::TearDown();
}

void Chip8MachineTest::startRom(const std::string& path) {
    runtime->stop();
    const auto rom = readRomImage(path);
    if (!rom) {
        logMessage("Error: Rom not found!");
        return;
    }
    runtime->setRules(m.rules);
    runtime->load(*rom);
    runtime->start();
}
