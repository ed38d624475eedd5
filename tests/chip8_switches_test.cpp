// The switches added on top of the variants' table (load/store by x, the clearing
// resolution switch, Fx0A on release), the switches by name, and the rules the named
// variants give programs that met the old behaviour.

#include "chip8/chip8_switches.h"
#include "tests/chip8_test_machine.h"

namespace {
using namespace chip8reg;
using Chip8SwitchesTest = Chip8ProgramTest;

// Fx55 / Fx65 with x = 2 from I = 0x300: I stays, moves past the three registers, or
// moves by x only.
TEST_F(Chip8SwitchesTest, LoadStoreMovesIByXOrPastTheRegisters) {
    const struct {
        bool moves, byX;
        int i;
    } cases[] = {{false, false, 0x300}, {true, false, 0x303}, {true, true, 0x302}};
    for (const std::uint16_t opcode : {0xF255, 0xF265}) {
        for (const auto& c : cases) {
            m.rules = quorvixRules;
            m.rules.loadStoreMovesI = c.moves;
            m.rules.loadStoreMovesIByX = c.byX;
            load(op(opcode).bytes());
            m.I = 0x300;
            run(1);
            EXPECT_EQ(m.I, c.i) << std::hex << opcode << " moves " << c.moves << " by x " << c.byX;
        }
    }
}

// A block drawn in plane 2 and one in plane 1, then 00FF (or 00FE) with plane 1
// selected: the clearing switch blanks both planes and keeps the selection.
TEST_F(Chip8SwitchesTest, ResolutionSwitchClearsEveryPlaneWhenSwitchedOn) {
    for (const std::uint16_t opcode : {0x00FF, 0x00FE}) {
        for (const bool clears : {false, true}) {
            m.rules = chip8RulesFor(Chip8Variant::XoChip);
            m.rules.resolutionSwitchClears = clears;
            load(Chip8Program()
                     .planes(2)
                     .ldi(0x300)
                     .drw(V0, V0, 1)
                     .planes(1)
                     .drw(V1, V1, 1)
                     .op(opcode)
                     .bytes());
            m.V[1] = 8;
            poke(0x300, {0xFF});
            run(6);
            std::size_t lit = 0;
            for (const std::uint8_t cell : m.screen) {
                lit += cell != 0 ? 1 : 0;
            }
            // Two low-resolution rows of 8 pixels, 2 x 2 cells each.
            EXPECT_EQ(ints(lit, m.planes), ints(clears ? 0 : 64, 1)) << std::hex << opcode;
        }
    }
}

// 00FF clears under SUPER-CHIP (modern) and XO-CHIP only: a tracker program that draws
// its title before switching would keep it under its screen otherwise.
TEST_F(Chip8SwitchesTest, VariantsThatClearOnTheResolutionSwitch) {
    const std::pair<Chip8Variant, bool> variants[] = {{Chip8Variant::Quorvix, false},
                                                      {Chip8Variant::Chip8, false},
                                                      {Chip8Variant::SuperChipModern, true},
                                                      {Chip8Variant::SuperChipLegacy, false},
                                                      {Chip8Variant::XoChip, true}};
    for (const auto& [variant, clears] : variants) {
        m.rules = chip8RulesFor(variant);
        load(Chip8Program().ldi(0x300).drw(V0, V0, 1).high().bytes());
        poke(0x300, {0x80});
        run(3);
        EXPECT_EQ(m.screen[0], clears ? 0 : 1) << chip8VariantName(variant);
        EXPECT_EQ(m.hiRes, 1);
    }
}

// Two Fx0A in a row and key 5 held: the machine's rule answers both at once; on release
// the first completes only when 5 goes up again, with 5, and the second then waits for
// a new press. A key pressed and released meanwhile is not the one waited for.
TEST_F(Chip8SwitchesTest, KeyWaitCompletesOnReleaseUnderTheNamedVariants) {
    const Chip8Program program = Chip8Program().waitKey(V0).waitKey(V1).jp(0x204);
    m.rules = quorvixRules;
    load(program.bytes());
    press(5);
    run(10);
    EXPECT_EQ(ints(m.V[0], m.V[1], m.pc), ints(5, 5, 0x204));
    m.keys.releaseAll();

    for (const Chip8Variant variant : {Chip8Variant::Chip8, Chip8Variant::SuperChipModern,
                                       Chip8Variant::SuperChipLegacy, Chip8Variant::XoChip}) {
        m.rules = chip8RulesFor(variant);
        load(program.bytes());
        m.V[0] = 0xAA;
        press(5);
        run(10);
        EXPECT_EQ(ints(m.V[0], m.pc), ints(0xAA, 0x200)) << chip8VariantName(variant);
        press(7);
        run(3);
        m.keys.set(7, false);
        run(3);
        EXPECT_EQ(ints(m.V[0], m.pc), ints(0xAA, 0x200)) << chip8VariantName(variant);
        m.keys.set(5, false);
        run(1);
        EXPECT_EQ(ints(m.V[0], m.pc), ints(5, 0x202)) << chip8VariantName(variant);
        run(10);
        EXPECT_EQ(m.pc, 0x202) << chip8VariantName(variant) << ": no new press yet";
        press(9);
        run(3);
        m.keys.releaseAll();
        run(3);
        EXPECT_EQ(ints(m.V[1], m.pc), ints(9, 0x204)) << chip8VariantName(variant);
    }
}

// A machine start forgets a key seen pressed by the run before.
TEST_F(Chip8SwitchesTest, AStartForgetsTheKeyAWaitSaw) {
    m.rules = chip8RulesFor(Chip8Variant::Chip8);
    load(Chip8Program().waitKey(V0).bytes());
    press(3);
    run(2);
    EXPECT_EQ(m.keyWaited, 3);
    resetChip8Machine(m);
    EXPECT_EQ(m.keyWaited, 0xFF);
}

TEST(Chip8SwitchNamesTest, QuirksParseByNameAndTurnTheirSwitch) {
    EXPECT_EQ(chip8SwitchNames(),
              "logic-resets-vf, load-store-moves-i, load-store-by-x, shift-vy, jump-vx, clip, "
              "flag-last, fx1e-leaves-vf, wide-lores-dxy0, display-wait, display-wait-lores-only, "
              "whole-pixel-scroll, mode-switch-clears, fx0a-on-release");
    EXPECT_EQ(parseChip8Quirk("clip=on"), std::pair(std::size_t{5}, true));
    EXPECT_EQ(parseChip8Quirk("fx0a-on-release=off"), std::pair(std::size_t{13}, false));
    for (const char* bad : {"", "clip", "clip=", "clip=1", "clip=ON", "Clip=on", "clip =on",
                            "clipping=on", "=on", "clip=on=off"}) {
        EXPECT_FALSE(parseChip8Quirk(bad)) << bad;
    }

    Chip8SwitchOverrides overrides;
    overrides.set(5, true);  // clip
    overrides.set(0, true);  // logic-resets-vf
    overrides.set(0, false); // the last word counts
    const Chip8Rules rules = withChip8Overrides(quorvixRules, overrides);
    EXPECT_EQ(ints(rules.clipsSprites, rules.logicResetsVF, overrides.chosen, overrides.on),
              ints(1, 0, 0b100001, 0b100000));
    EXPECT_EQ(describeChip8SwitchChanges(quorvixRules, rules), "clip=on");
    EXPECT_EQ(describeChip8SwitchChanges(rules, rules), "");
}

// The display wait's three settings as two switches: any wait, and low resolution only.
TEST(Chip8SwitchNamesTest, DisplayWaitSwitchesReachEachSetting) {
    const auto waitAfter = [](Chip8DisplayWait from,
                              std::vector<std::pair<const char*, bool>> turns) {
        Chip8Rules rules;
        rules.displayWait = from;
        Chip8SwitchOverrides overrides;
        for (const auto& [name, on] : turns) {
            overrides.set(*findChip8Switch(name), on);
        }
        return static_cast<int>(withChip8Overrides(rules, overrides).displayWait);
    };
    EXPECT_EQ(waitAfter(Chip8DisplayWait::Never, {{"display-wait", true}}), 1);
    EXPECT_EQ(waitAfter(Chip8DisplayWait::LowResolutionOnly, {{"display-wait", true}}), 2);
    EXPECT_EQ(waitAfter(Chip8DisplayWait::Always, {{"display-wait", false}}), 0);
    EXPECT_EQ(waitAfter(Chip8DisplayWait::Never, {{"display-wait-lores-only", true}}), 2);
    EXPECT_EQ(waitAfter(Chip8DisplayWait::LowResolutionOnly, {{"display-wait-lores-only", false}}),
              1);
    EXPECT_EQ(waitAfter(Chip8DisplayWait::Always, {{"display-wait-lores-only", false}}), 1);

    // The overrides between two rule sets turn one into the other, for every pair of
    // named variants.
    for (const Chip8Variant from : chip8Variants) {
        for (const Chip8Variant to : chip8Variants) {
            Chip8Rules wanted = chip8RulesFor(to);
            Chip8Rules base = chip8RulesFor(from);
            // Only the switches: speed, memory and the XO-CHIP set are the variant's.
            wanted.instructionsPerTick = base.instructionsPerTick;
            wanted.addressMask = base.addressMask;
            wanted.xoChipInstructions = base.xoChipInstructions;
            EXPECT_EQ(withChip8Overrides(base, chip8OverridesBetween(base, wanted)), wanted)
                << chip8VariantName(from) << " to " << chip8VariantName(to);
        }
    }
}
} // namespace
