// Each rule switch in both positions, and the paced rule sets' ticks.

#include "chip8/chip8_rules.h"
#include "chip8/tick_pacer.h"
#include "tests/chip8_test_machine.h"

namespace {
using namespace chip8reg;
using Chip8RulesTest = Chip8MachineTest;

// The first `count` cells of one row of the 128 x 64 buffer.
std::string bufferRow(const Chip8State& m, std::uint32_t row, std::uint32_t count) {
    std::string cells;
    for (std::uint32_t column = 0; column < count; ++column) {
        cells += m.screen[row * chip8ScreenWidth + column] != 0 ? '#' : '.';
    }
    return cells + '\n';
}

Chip8Rules with(bool Chip8Rules::*flag) {
    Chip8Rules rules;
    rules.*flag = true;
    return rules;
}

// One opcode under the machine's rules and with one switch the other way; registers
// are set in the order given, then I. Each case names the register values it expects
// (V0, VF, I, pc) in both positions. Under the machine's rules VF is written before the
// result, and the subtractions and shifts read their operands after that, so with x or
// y = F the new flag takes part: 8F14 leaves the sum in VF; 80F5 is 9 - new flag 1, 8F15
// new flag 1 - 5, 80F7 new flag 1 - 2; 8F06 always leaves 0 and 8F0E 0 or 2.
TEST_F(Chip8RulesTest, EachInstructionSwitchInBothPositions) {
    struct Values {
        int v0, vf, i, pc;
    };
    const struct {
        const char* name;
        bool Chip8Rules::*flag;
        std::uint16_t opcode;
        std::vector<std::pair<int, int>> registers;
        int i;
        Values machine, switched;
    } cases[] = {
        // clang-format off
        {"8xy1 resets VF", &Chip8Rules::logicResetsVF, 0x8011, {{0, 0x0C}, {1, 0x03}, {15, 0x55}}, 0x300, {0x0F, 0x55, 0x300, 0x202}, {0x0F, 0x00, 0x300, 0x202}},
        {"8xy2 resets VF", &Chip8Rules::logicResetsVF, 0x8012, {{0, 0x0C}, {1, 0x06}, {15, 0x55}}, 0x300, {0x04, 0x55, 0x300, 0x202}, {0x04, 0x00, 0x300, 0x202}},
        {"8xy3 resets VF", &Chip8Rules::logicResetsVF, 0x8013, {{0, 0x0C}, {1, 0x06}, {15, 0x55}}, 0x300, {0x0A, 0x55, 0x300, 0x202}, {0x0A, 0x00, 0x300, 0x202}},
        {"Fx55 moves I", &Chip8Rules::loadStoreMovesI, 0xF255, {{0, 7}}, 0x300, {7, 0, 0x300, 0x202}, {7, 0, 0x303, 0x202}},
        {"Fx65 moves I", &Chip8Rules::loadStoreMovesI, 0xF065, {{0, 7}}, 0xFFF, {0, 0, 0xFFF, 0x202}, {0, 0, 0x000, 0x202}},
        {"8xy6 shifts Vy", &Chip8Rules::shiftReadsVy, 0x8016, {{1, 0xAB}, {0, 0x04}}, 0x300, {0x02, 0x00, 0x300, 0x202}, {0x55, 0x01, 0x300, 0x202}},
        {"8xyE shifts Vy", &Chip8Rules::shiftReadsVy, 0x801E, {{1, 0x81}, {0, 0x05}}, 0x300, {0x0A, 0x00, 0x300, 0x202}, {0x02, 0x01, 0x300, 0x202}},
        {"Bxnn adds Vx", &Chip8Rules::jumpAddsVx, 0xB210, {{0, 4}, {2, 8}}, 0x300, {4, 0, 0x300, 0x214}, {4, 0, 0x300, 0x218}},
        {"8F14 flag last", &Chip8Rules::flagLast, 0x8F14, {{1, 0x90}, {15, 0x80}}, 0x300, {0, 0x10, 0x300, 0x202}, {0, 0x01, 0x300, 0x202}},
        {"8F15 flag last", &Chip8Rules::flagLast, 0x8F15, {{1, 0x05}, {15, 0x09}}, 0x300, {0, 0xFC, 0x300, 0x202}, {0, 0x01, 0x300, 0x202}},
        {"80F5 flag last", &Chip8Rules::flagLast, 0x80F5, {{15, 0x05}, {0, 0x09}}, 0x300, {0x08, 0x01, 0x300, 0x202}, {0x04, 0x01, 0x300, 0x202}},
        {"8F06 flag last", &Chip8Rules::flagLast, 0x8F06, {{15, 0xFF}}, 0x300, {0, 0x00, 0x300, 0x202}, {0, 0x01, 0x300, 0x202}},
        {"8F07 flag last", &Chip8Rules::flagLast, 0x8F07, {{0, 0x02}, {15, 0x01}}, 0x300, {0x02, 0x01, 0x300, 0x202}, {0x02, 0x01, 0x300, 0x202}},
        {"80F7 flag last", &Chip8Rules::flagLast, 0x80F7, {{15, 0x07}, {0, 0x02}}, 0x300, {0xFF, 0x01, 0x300, 0x202}, {0x05, 0x01, 0x300, 0x202}},
        {"8F0E flag last", &Chip8Rules::flagLast, 0x8F0E, {{15, 0x81}}, 0x300, {0, 0x02, 0x300, 0x202}, {0, 0x01, 0x300, 0x202}},
        {"8014 flag last, no carry", &Chip8Rules::flagLast, 0x8014, {{1, 0x20}, {0, 0x10}}, 0x300, {0x30, 0x00, 0x300, 0x202}, {0x30, 0x00, 0x300, 0x202}},
        {"Fx1E leaves VF", &Chip8Rules::addToILeavesVF, 0xF01E, {{0, 1}, {15, 0x55}}, 0xFFF, {1, 0x01, 0x000, 0x202}, {1, 0x55, 0x000, 0x202}},
        // clang-format on
    };
    for (const auto& c : cases) {
        for (const bool switched : {false, true}) {
            m.rules = switched ? with(c.flag) : quorvixRules;
            execute(op(c.opcode), c.registers, 0);
            m.I = static_cast<std::uint16_t>(c.i);
            run(1);
            const Values& want = switched ? c.switched : c.machine;
            EXPECT_EQ(ints(m.V[0], m.V[15], m.I, m.pc), ints(want.v0, want.vf, want.i, want.pc))
                << c.name << (switched ? " (switched)" : " (machine)");
        }
    }
}

// Draws and scrolls on the 64 x 32 low-resolution screen and the 128 x 64 high one, as
// rows of logical pixels (cut from the screen at `area`), or, for the scroll down, as
// cells of the 128 x 64 buffer.
TEST_F(Chip8RulesTest, SpriteAndScrollSwitchesInBothPositions) {
    const std::string dots(64, '.');
    const struct {
        const char* name;
        bool Chip8Rules::*flag;
        Chip8Program program;
        std::string machine, switched;
        Area area = {0, 0, 64, 1};
        bool buffer = false;
    } cases[] = {
        // clang-format off
        // An 8-wide row at x = 62 wraps to columns 0-5 or stops at the edge; the start
        // position wraps either way (x = 66 starts at column 2).
        {"clip across", &Chip8Rules::clipsSprites, Chip8Program().ld(V0, 62).ldi(0x300).drw(V0, V1, 1),
         "######" + dots.substr(6, 56) + "##\n", dots.substr(0, 62) + "##\n"},
        {"clip start wraps", &Chip8Rules::clipsSprites, Chip8Program().ld(V0, 66).ldi(0x300).drw(V0, V1, 1),
         "..########" + dots.substr(10) + "\n", "..########" + dots.substr(10) + "\n"},
        {"clip down", &Chip8Rules::clipsSprites, Chip8Program().ld(V1, 31).ldi(0x300).drw(V0, V1, 2),
         "########" + dots.substr(8) + "\n", dots + "\n"},
        {"clip high resolution", &Chip8Rules::clipsSprites,
         Chip8Program().high().ld(V0, 124).ldi(0x300).drw(V0, V1, 1), "####\n", "....\n", {0, 0, 4, 1}},
        // Dxy0 in low resolution: 8 x 16 or 16 x 16 from 32 bytes of 0xFF.
        {"wide low-resolution sprite", &Chip8Rules::wideLowResolutionSprite, Chip8Program().ldi(0x300).drw(V0, V1, 0),
         "########........\n", "################\n", {0, 15, 16, 1}},
        // A low-resolution row (buffer rows 0 and 1) scrolled down by 00C1: half a pixel
        // leaves buffer row 1 lit, a whole pixel clears it.
        {"scroll down", &Chip8Rules::wholePixelLowResolutionScroll, Chip8Program().ldi(0x300).drw(V0, V1, 1).scd(1),
         "########\n", "........\n", {0, 1, 8, 1}, true},
        // Scrolled sideways by 00FB / 00FC: 2 or 4 low-resolution pixels.
        {"scroll right", &Chip8Rules::wholePixelLowResolutionScroll, Chip8Program().ldi(0x300).drw(V0, V1, 1).scr(),
         "..########......\n", "....########....\n", {0, 0, 16, 1}},
        {"scroll left", &Chip8Rules::wholePixelLowResolutionScroll, Chip8Program().ld(V0, 8).ldi(0x300).drw(V0, V1, 1).scl(),
         "......########..\n", "....########....\n", {0, 0, 16, 1}},
        {"scroll in high resolution", &Chip8Rules::wholePixelLowResolutionScroll,
         Chip8Program().high().ldi(0x300).drw(V0, V1, 1).scr(), "....########\n", "....########\n", {0, 0, 12, 1}},
        // clang-format on
    };
    for (const auto& c : cases) {
        for (const bool switched : {false, true}) {
            m.rules = switched ? with(c.flag) : quorvixRules;
            load(c.program.bytes());
            poke(0x300, std::vector<std::uint8_t>(32, 0xFF)); // the sprite data
            run(5);
            const std::string read =
                c.buffer ? bufferRow(m, c.area.row, c.area.width) : cut(chip8ScreenRows(m), c.area);
            EXPECT_EQ(read, switched ? c.switched : c.machine)
                << c.name << (switched ? " (switched)" : " (machine)");
        }
    }
}

// A paced tick: the timers step once, then exactly the tick's instructions run; the next
// tick starts 1/60 s after the first on the clock.
TEST_F(Chip8RulesTest, PacedTicksRunAFixedCountAndStepTheTimersOnce) {
    useManualClock(clockStart + 1);
    m.rules.instructionsPerTick = 15; // the machine's rules otherwise
    Chip8Program p;
    p.ld(V0, 5).setDelay(V0).setSound(V0);
    for (int i = 0; i < 40; ++i) {
        p.add(V1, 1);
    }
    load(p.bytes());
    runChip8Batch(m);
    const std::uint64_t firstTick = elapsedNanoseconds();
    EXPECT_EQ(ints(m.pc, m.V[1], m.delayTimer, m.soundTimer), ints(0x200 + 2 * 15, 12, 5, 5));
    advanceManualClock(10'000'000); // a tick takes 16,666,667 ns whatever ran in it
    runChip8Batch(m);
    EXPECT_EQ(elapsedNanoseconds() - firstTick, 16'666'667u);
    EXPECT_EQ(ints(m.pc, m.V[1], m.delayTimer, m.soundTimer), ints(0x200 + 2 * 30, 27, 4, 4));

    // Without the wait (a headless full-speed run) ticks follow at once, and the timers
    // still step once per tick.
    m.tickPacing = false;
    const std::uint64_t now = elapsedNanoseconds();
    runChip8Batch(m);
    EXPECT_EQ(ints(elapsedNanoseconds() - now, m.delayTimer), ints(0, 3));
}

// A program started before the clock was initialised (a frequency of 0) must not wait
// for a tick that never comes: its worker could then never be stopped.
TEST(Chip8TickPacerTest, TicksEndOnAClockThatWasNeverInitialised) {
    const std::uint64_t frequency = clockFrequency;
    clockFrequency = 0;
    std::uint64_t lastTickStart = 0;
    waitForChip8Tick(lastTickStart, true);
    const std::uint64_t first = lastTickStart;
    waitForChip8Tick(lastTickStart, true);
    clockFrequency = frequency;
    EXPECT_EQ(lastTickStart - first, 16'666'667u);
}

// A loop of a draw, a count and a jump: with the display wait each tick after the
// first ends at its draw, so one loop runs per tick; without it, ten. Legacy
// SUPER-CHIP waits only in low resolution.
TEST_F(Chip8RulesTest, DisplayWaitAllowsOneDrawPerTick) {
    const auto loopsPerTick = [&](Chip8DisplayWait wait, bool high) {
        m.rules.instructionsPerTick = 30;
        m.rules.displayWait = wait;
        Chip8Program p;
        const auto loop = p.label();
        if (high) {
            p.high();
        }
        p.ldi(0x300).bind(loop).drw(V0, V0, 1).add(V2, 1).jp(loop);
        load(p.bytes());
        runChip8Batch(m);
        m.V[2] = 0;
        for (int tick = 0; tick < 3; ++tick) {
            runChip8Batch(m);
        }
        return m.V[2] / 3;
    };
    m.tickPacing = false;
    EXPECT_EQ(loopsPerTick(Chip8DisplayWait::Never, false), 10);
    EXPECT_EQ(loopsPerTick(Chip8DisplayWait::Never, true), 10);
    EXPECT_EQ(loopsPerTick(Chip8DisplayWait::Always, false), 1);
    EXPECT_EQ(loopsPerTick(Chip8DisplayWait::Always, true), 1);
    EXPECT_EQ(loopsPerTick(Chip8DisplayWait::LowResolutionOnly, false), 1);
    EXPECT_EQ(loopsPerTick(Chip8DisplayWait::LowResolutionOnly, true), 10);
}

// The variants' switches as the variants' table gives them, and their names.
TEST(Chip8VariantTest, VariantsTurnTheirOwnSwitches) {
    EXPECT_EQ(chip8RulesFor(Chip8Variant::Quorvix), Chip8Rules{});
    EXPECT_EQ(chip8VariantForOption("quorvix"), Chip8Variant::Quorvix);
    EXPECT_STREQ(chip8VariantName(Chip8Variant::Quorvix), "Quorvix rules");
    // The switches in the order the expectation below reads them: logic, load/store moves
    // I, by x only, shift Vy, jump Vx, clip, flag last, Fx1E leaves VF, wide Dxy0, display
    // wait (0 never, 1 always, 2 low resolution only), whole-pixel scroll, 00FE/00FF clear,
    // Fx0A on release, instructions per tick, address mask, XO-CHIP instructions.
    const std::tuple<Chip8Variant, const char*, const char*, std::vector<int>> table[] = {
        // clang-format off
        {Chip8Variant::Chip8, "chip8", "CHIP-8", {1, 1, 0, 1, 0, 1, 1, 1, 0, 1, 0, 0, 1, 15, 0xFFF, 0}},
        {Chip8Variant::SuperChipModern, "schip", "SUPER-CHIP (modern)", {0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 1, 1, 1, 30, 0xFFF, 0}},
        {Chip8Variant::SuperChipLegacy, "schip-legacy", "SUPER-CHIP 1.1 (legacy)", {0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 0, 0, 1, 30, 0xFFF, 0}},
        {Chip8Variant::XoChip, "xochip", "XO-CHIP", {0, 1, 0, 1, 0, 0, 1, 1, 1, 0, 1, 1, 1, 1000, 0xFFFF, 1}}};
    // clang-format on
    for (const auto& [variant, option, name, switches] : table) {
        const Chip8Rules r = chip8RulesFor(variant);
        EXPECT_EQ(ints(r.logicResetsVF, r.loadStoreMovesI, r.loadStoreMovesIByX, r.shiftReadsVy,
                       r.jumpAddsVx, r.clipsSprites, r.flagLast, r.addToILeavesVF,
                       r.wideLowResolutionSprite, r.displayWait, r.wholePixelLowResolutionScroll,
                       r.resolutionSwitchClears, r.keyWaitEndsOnRelease, r.instructionsPerTick,
                       r.addressMask, r.xoChipInstructions),
                  switches)
            << name;
        EXPECT_EQ(chip8VariantForOption(option), variant);
        EXPECT_STREQ(chip8VariantName(variant), name);
    }
    for (const char* unknown : {"", "SCHIP", "schip ", "chip-8", "xochip2", "XO-CHIP"}) {
        EXPECT_FALSE(chip8VariantForOption(unknown)) << unknown;
    }
}
} // namespace
