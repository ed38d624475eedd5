// The programs database: SHA-1 of ROM files, the lookup, and the rules an entry gives.

#include "chip8/program_database.h"
#include "platform/rom_file.h"
#include "platform/sha1.h"
#include "tests/support/golden.h"
#include "tests/support/ints.h"
#include "tests/support/temp_file.h"

#include <gtest/gtest.h>

namespace {
std::string platformOf(const ProgramEntry* entry) {
    const ProgramPlatform* platform = entry != nullptr ? programPlatformOf(*entry) : nullptr;
    return platform != nullptr ? platform->id : "";
}

TEST(Sha1Test, DigestsOfKnownBlocks) {
    const std::uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(sha1Hex(abc, 3), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(sha1Hex(nullptr, 0), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

// The suite's ROMs by the digests `sha1sum` gives for them: the Timendus ROMs are in the
// database (the first platform each lists, the tick rate it runs at); BC_test and the
// corax89 opcode test are not.
TEST(ProgramDatabaseTest, LookupByTheDigestsOfTheSuiteRoms) {
    const struct {
        const char* sha1;
        const char* title;
        const char* platform;
        int tickRate;
    } known[] = {
        {"30f27e5cee5b325fd1681ee98a14de60bfbe951f", "CHIP-8 test suite: splash screen",
         "originalChip8", 15},
        {"b9bbc12cee3f7b9d3b1f69161f7d7a2d86953379", "CHIP-8 test suite: IBM logo", "originalChip8",
         15},
        {"b2dacf6d85785d6c2315ce449912c8a8a5954e2e", "CHIP-8 test suite: Corax+ opcode test",
         "originalChip8", 15},
        {"55a6716dacc2f93dce3d39fb8d231083016a1cc0", "CHIP-8 test suite: Flags test",
         "originalChip8", 15},
        {"e2149cb836131a142ca7e2dc2f2283381ae5faaa", "CHIP-8 test suite: Quirks test",
         "originalChip8", 15},
        {"455b9fc69cc06e2b5b72f7d1ac5f6c86ac349e77", "CHIP-8 test suite: Keypad test",
         "originalChip8", 15},
        {"b119651b5aa08557a85ca2ad5de3d1a86796b66b", "CHIP-8 test suite: Beep test",
         "originalChip8", 15},
        {"477b3e09c43839ea5478b4f0e24536edab594f89", "CHIP-8 test suite: Scrolling test",
         "superchip", 30},
    };
    for (const auto& k : known) {
        const ProgramEntry* entry = findProgramBySha1(k.sha1);
        ASSERT_NE(entry, nullptr) << k.title;
        EXPECT_STREQ(entry->title, k.title);
        EXPECT_STREQ(entry->authors, "Timendus");
        EXPECT_EQ(platformOf(entry), k.platform) << k.title;
        EXPECT_EQ(rulesForProgram(*entry)->rules.instructionsPerTick, k.tickRate) << k.title;
    }
    for (const char* unknown :
         {"9df1689015a0d1d95144f141903296f9f1c35fc5", // BC_test
          "f1cfcffe1937ed6dd6eeed1a7f85dfc777bda700", // corax89
          "0000000000000000000000000000000000000000", "ffffffffffffffffffffffffffffffffffffffff",
          "30F27E5CEE5B325FD1681EE98A14DE60BFBE951F", "30f27e5c", ""}) {
        EXPECT_EQ(findProgramBySha1(unknown), nullptr) << unknown;
    }
    EXPECT_EQ(programEntryCount, 543u);
}

TEST(ProgramDatabaseTest, SuiteRomFilesAreIdentifiedByTheirBytes) {
    QUORVIX_REQUIRE_SHARED_ROMS();
    const auto chip8 = sharedRomFolder() / "chip8";
    const auto logoBytes = readRomImage((chip8 / "timendus/2-ibm-logo.ch8").string());
    ASSERT_TRUE(logoBytes);
    const RomIdentity logo = identifyChip8Rom(*logoBytes);
    EXPECT_EQ(logo.sha1, "b9bbc12cee3f7b9d3b1f69161f7d7a2d86953379");
    ASSERT_NE(logo.entry, nullptr);
    EXPECT_STREQ(logo.entry->title, "CHIP-8 test suite: IBM logo");
    const auto bestCoderBytes = readRomImage((chip8 / "bc_test/BC_test.ch8").string());
    ASSERT_TRUE(bestCoderBytes);
    const RomIdentity bestCoder = identifyChip8Rom(*bestCoderBytes);
    EXPECT_EQ(bestCoder.entry, nullptr);
    EXPECT_EQ(bestCoder.sha1, "9df1689015a0d1d95144f141903296f9f1c35fc5");
}

// The largest ROM a CHIP-8 memory holds, 65,024 bytes, is hashed whole; one byte more
// is no CHIP-8 program.
TEST(ProgramDatabaseTest, RomsUpToTheLargestAreHashed) {
    const RomIdentity largest = identifyChip8Rom(std::vector<std::uint8_t>(65024));
    EXPECT_EQ(largest.entry, nullptr);
    EXPECT_EQ(largest.sha1, "7df3701add51ddd4279805a9590ae7ee22843548");
    const RomIdentity longer = identifyChip8Rom(std::vector<std::uint8_t>(65025));
    EXPECT_EQ(ints(longer.sha1.empty(), longer.entry == nullptr), ints(1, 1));
}

// Entries whose own quirks differ from their platform's, a tick rate beyond the fastest
// speed, a rotated screen, and platforms no variant here runs. The switches are read as
// logic, load/store moves I, by x, shift Vy, jump Vx, clip, display wait, then the
// instructions per tick.
TEST(ProgramDatabaseTest, EntriesGiveTheirPlatformsRulesWithTheirOwnQuirks) {
    const auto switches = [](const Chip8Rules& r) {
        return ints(r.logicResetsVF, r.loadStoreMovesI, r.loadStoreMovesIByX, r.shiftReadsVy,
                    r.jumpAddsVx, r.clipsSprites, r.displayWait, r.instructionsPerTick);
    };
    const struct {
        const char* sha1;
        Chip8Variant base;
        std::vector<int> rules;
        int rotation;
    } cases[] = {
        // clang-format off
        // Horsey Jump: SUPER-CHIP 1.1 with shift Vy and I + x + 1, at 20 per tick.
        {"df5ced9c20d00bf7be7d3361d76f27d0d577abfb", Chip8Variant::SuperChipLegacy, {0, 1, 0, 1, 1, 1, 0, 20}, 0},
        // Astro Dodge: the COSMAC VIP's rules, but I unchanged.
        {"ac621d9fcada302ba6965768229ef130630bc525", Chip8Variant::Chip8, {1, 0, 0, 1, 0, 1, 1, 15}, 0},
        // Skyward: XO-CHIP with I unchanged; Super NeatBoy: XO-CHIP with clipping.
        {"8ebf74e790e58a8d5a7beff598bb32ed7eeeabf7", Chip8Variant::XoChip, {0, 0, 0, 1, 0, 0, 0, 1000}, 0},
        {"440c5fbe9f5f840e76c308738fb0d37772d66674", Chip8Variant::XoChip, {0, 1, 0, 1, 0, 1, 0, 1000}, 0},
        // Tetris (CHIP-48): I + x, shift Vx, jump Vx, at the platform's 30.
        {"5f518084744bf3cb8733f6e5454dfd1634320563", Chip8Variant::SuperChipLegacy, {0, 1, 1, 0, 1, 1, 0, 30}, 0},
        // Blinky (modern CHIP-8): no display wait, logic leaves VF, 12 per tick.
        {"5370ecf9ae444c71b63dab9b1f9968a4fe67c9dd", Chip8Variant::Chip8, {0, 1, 0, 1, 0, 1, 0, 12}, 0},
        // Alien-Inv8sion asks for 200,000 per tick: the fastest speed, 100,000.
        {"24ef21009527ee674de44ccb37e37081654883f9", Chip8Variant::XoChip, {0, 1, 0, 1, 0, 0, 0, 100000}, 0},
        // Sub-Terr8nia: XO-CHIP at 60 per tick on a screen turned 270 degrees.
        {"64536d549c986e9edf25de9fa89db60d2ade85c0", Chip8Variant::XoChip, {0, 1, 0, 1, 0, 0, 0, 60}, 270},
        // clang-format on
    };
    for (const auto& c : cases) {
        const ProgramEntry* entry = findProgramBySha1(c.sha1);
        ASSERT_NE(entry, nullptr) << c.sha1;
        const auto chosen = rulesForProgram(*entry);
        ASSERT_TRUE(chosen) << entry->title;
        EXPECT_EQ(chosen->base, c.base) << entry->title;
        EXPECT_EQ(switches(chosen->rules), c.rules) << entry->title;
        EXPECT_EQ(entry->rotation, c.rotation) << entry->title;
    }
    EXPECT_EQ(describeProgram(*findProgramBySha1("8ebf74e790e58a8d5a7beff598bb32ed7eeeabf7")),
              "Skyward by tann, JackieKircher (XO-CHIP)");

    ProgramEntry megaChip{"", "Mega", "", 7, 0, 0, 0, 0};
    EXPECT_STREQ(programPlatformOf(megaChip)->id, "megachip8");
    EXPECT_FALSE(rulesForProgram(megaChip));
    ProgramEntry none{"", "Nowhere", "", noProgramPlatform, 0, 0, 0, 0};
    EXPECT_FALSE(rulesForProgram(none));
    EXPECT_EQ(describeProgram(none), "Nowhere (no platform)");
}
} // namespace
