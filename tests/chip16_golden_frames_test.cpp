// The Chip-16 programs of ../shared/roms/chip16 and the demo run frame by frame on the
// real run loop: golden frames of each (the exact screen at fixed frames, with fixed
// buttons held).

#include "chip16/rom_loader.h"
#include "roms/demo_programs.h"
#include "tests/chip16_test_support.h"
#include "tests/support/golden.h"
#include "tests/support/temp_file.h"

namespace {
// The controller's buttons by their bit in the controller byte.
constexpr unsigned up = 0, down = 1, left = 2, right = 3, selectKey = 4, start = 5, a = 6, b = 7;
struct Hold {
    unsigned key;
    int from, to; // down during frames from+1 to `to`
};
struct Script {
    const char* rom;
    std::vector<int> frames;
    std::vector<Hold> holds;
};

class Chip16GoldenFrames : public Chip16Frames {
  protected:
    // The screens at the script's frames as one text, each after its frame number.
    std::string play(const std::string& path, const Script& script) {
        EXPECT_TRUE(loadRom(path)) << path;
        restart();
        auto shown = std::make_unique<Chip16Machine>();
        std::string text;
        for (int frame = 1; frame <= script.frames.back(); ++frame) {
            for (const Hold& hold : script.holds) {
                m.keys.set(hold.key, frame > hold.from && frame <= hold.to);
            }
            runFrames(1);
            if (std::count(script.frames.begin(), script.frames.end(), frame) != 0) {
                shown->screen = screen;
                shown->backgroundColour = background;
                text += "frame " + std::to_string(frame) + ": " +
                        withoutBlankRows(chip16ScreenText(*shown));
            }
        }
        m.keys.releaseAll();
        return text;
    }
};

std::string goldenName(const std::string& rom) {
    return "chip16_" + rom.substr(rom.find('/') + 1, rom.find('.') - rom.find('/') - 1) + ".txt";
}
} // namespace

TEST_F(Chip16GoldenFrames, RomSuite) {
    QUORVIX_REQUIRE_SHARED_ROMS();
    const Script scripts[] = {
        {"tests/BC_TestRom.c16", {120}, {}},
        {"tests/CollisionTest.c16", {20, 60}, {{right, 5, 40}, {down, 5, 12}}},
        {"tests/PadTest.c16",
         {10, 16, 22},
         {{up, 12, 16},
          {left, 12, 16},
          {a, 12, 16},
          {selectKey, 12, 16},
          {down, 18, 22},
          {right, 18, 22},
          {b, 18, 22},
          {start, 18, 22}}},
        {"tests/PaleteTest.c16", {30}, {}},
        {"tests/flip_test.c16", {30}, {}},
        {"programs/Triangle.c16", {60}, {}},
        {"programs/Starfield.c16", {30, 60}, {}},
        {"programs/Stopwatch.c16", {100, 160}, {{a, 10, 12}}},
        {"programs/Pong.c16", {60, 180}, {{start, 20, 25}, {up, 60, 120}}},
        {"programs/Snafu.c16", {60, 200}, {{start, 30, 35}, {left, 100, 140}}},
        {"programs/Reflection.c16", {60}, {}},
    };
    for (const Script& script : scripts) {
        expectGolden(goldenName(script.rom),
                     play((sharedRomFolder() / "chip16" / script.rom).string(), script));
    }
}

// Left and Up move the ship, B changes the background while held, A mirrors the ship,
// Start brings it home; Right and Down held long take it to the corner, not past it.
TEST_F(Chip16GoldenFrames, Demo) {
    TempDirectory folder;
    const Script script = {"demo.c16",
                           {30, 90, 300},
                           {{left, 5, 40},
                            {up, 5, 30},
                            {b, 20, 30},
                            {a, 50, 55},
                            {start, 70, 75},
                            {right, 75, 300},
                            {down, 95, 300}}};
    expectGolden("chip16_demo.txt", play(folder.write("demo.c16", chip16DemoRom()), script));
}
