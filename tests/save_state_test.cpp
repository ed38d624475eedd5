// Save-state files: their layout, states that run on exactly as the machine they came
// from, every file that is refused (the machine untouched), and writes that fail
// without losing the file that was there.

#include "app/chip16_runtime.h"
#include "app/chip8_runtime.h"
#include "app/save_state.h"
#include "app/state_transfer.h"
#include "platform/clock.h"
#include "tests/support/temp_file.h"
#include "tools/program_builders/chip16_program.h"
#include "tools/program_builders/chip8_program.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {
using namespace chip8reg;
using Bytes = std::vector<std::uint8_t>;

Bytes fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t numberAt(const Bytes& bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value |= std::uint32_t{bytes[at + i]} << (8 * i);
    }
    return value;
}

// The CRC-32 over all but the last four bytes, written into them.
void fixChecksum(Bytes& file) {
    const auto crc =
        static_cast<std::uint32_t>(crc32(0, file.data(), static_cast<uInt>(file.size() - 4)));
    for (std::size_t i = 0; i < 4; ++i) {
        file[file.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
}

const Bytes abc = {'a', 'b', 'c'};

// Draws random glyphs down the screen, keeps both timers busy and, under XO-CHIP rules,
// draws on both planes with a sound pattern and pitch.
Bytes chip8Program(bool xoChip) {
    Chip8Program p;
    if (xoChip) {
        p.planes(3).ldi(0).audio().ld(V7, 90).pitch(V7);
    }
    const auto loop = p.label();
    p.bind(loop).rnd(V4, 0x3F).smallGlyph(V4).drw(V4, V1, 5).add(V1, 3);
    p.getDelay(V6).se(V6, 0).jp(loop);
    p.ld(V5, 4).setDelay(V5).setSound(V5).jp(loop);
    return p.bytes();
}

// Random sprites in random places, once per frame.
Bytes chip16Program() {
    Chip16Program p;
    p.spr(2, 3).ldi(2, 0x0100);
    p.rnd(0, 300).rnd(1, 230).drwR(0, 1, 2).addi(3, 7).vblnk().jmp(0x0008);
    Bytes image = p.image();
    image.resize(0x106);
    for (std::size_t i = 0x100; i < 0x106; ++i) {
        image[i] = static_cast<std::uint8_t>(0x1F + i * 0x11);
    }
    return image;
}

// What two machines must agree on after the same frames.
struct Observed {
    std::string screen;
    std::vector<RegisterValue> registers;
    std::vector<std::uint8_t> memory;
    std::uint64_t instructions = 0;

    bool operator==(const Observed&) const = default;
};

Observed runFrames(Machine& machine, int frames) {
    const std::uint64_t before = machine.instructionsExecuted();
    for (int i = 0; i < frames; ++i) {
        machine.stepFrame();
    }
    MachineView view = machine.view();
    return {machine.screenText(), std::move(view.registers), std::move(view.memory),
            machine.instructionsExecuted() - before};
}

class SaveStateTest : public ::testing::Test {
  protected:
    void SetUp() override { initClock(); }

    std::string path(const std::string& name) const { return (folder.path() / name).string(); }

    // Saves after `before` frames, runs `after` more; a fresh machine loads the file and
    // runs `after` frames: both must show the same.
    void expectRoundTrip(Machine& original, Machine& fresh, int before, int after) {
        const RomDigest rom = romDigestOf(abc);
        const std::string blank = fresh.screenText();
        runFrames(original, before);
        original.stepInstruction(); // also in the middle of a frame
        const StateOutcome saved = saveStateToFile(original, rom, path("s.qvstate"), "s");
        ASSERT_TRUE(saved.done) << saved.message;
        const Observed expected = runFrames(original, after);
        const StateOutcome loaded = loadStateFromFile(fresh, rom, path("s.qvstate"), "s");
        ASSERT_TRUE(loaded.done) << loaded.message;
        EXPECT_EQ(loaded.message, "State loaded: s");
        const Observed seen = runFrames(fresh, after);
        EXPECT_EQ(seen.screen, expected.screen);
        EXPECT_EQ(seen.registers, expected.registers);
        EXPECT_TRUE(seen.memory == expected.memory);
        EXPECT_EQ(seen.instructions, expected.instructions);
        EXPECT_NE(seen.screen, blank) << "something was drawn";
    }

    TempDirectory folder;
};

TEST_F(SaveStateTest, Chip8StatesRunOnExactlyUnderEveryRuleSet) {
    for (const Chip8Variant variant : chip8Variants) {
        SCOPED_TRACE(chip8VariantName(variant));
        Chip8Rules rules = chip8RulesFor(variant);
        // Paced, so that frames are exact; the machine's own rules follow real time.
        rules.instructionsPerTick = 23;
        Chip8Runtime original(rules);
        original.load(chip8Program(variant == Chip8Variant::XoChip));
        // Another ROM and other rules: the state brings its own.
        Chip8Runtime fresh(chip8RulesFor(Chip8Variant::Chip8));
        fresh.load(Chip8Program().jp(0x200).bytes());
        expectRoundTrip(original, fresh, 9, 31);
        EXPECT_EQ(fresh.machine().rules, rules);
    }
}

TEST_F(SaveStateTest, Chip16StatesRunOnExactlyWithEitherInstructionSet) {
    for (const bool extended : {false, true}) {
        Chip16Runtime original(extended);
        original.load(chip16Program());
        Chip16Runtime fresh(!extended);
        fresh.load(Chip16Program().jmp(0).image());
        expectRoundTrip(original, fresh, 5, 12);
        EXPECT_EQ(fresh.machine().extendedInstructions, extended);
        EXPECT_EQ(fresh.machine().framesCompleted, original.machine().framesCompleted);
    }
}

// The layout: magic, version, kind, SHA-1, payload length, fields little-endian, CRC-32.
TEST_F(SaveStateTest, FilesFollowTheDocumentedLayout) {
    Chip8State chip8;
    loadChip8Rom(chip8, {});
    resetChip8Machine(chip8);
    chip8.pc = 0x0234;
    chip8.I = 0x0ABC;
    chip8.memory[0] = 0x5A;
    const Bytes file = encodeSaveState(romDigestOf(abc), chip8);
    ASSERT_EQ(file.size(), 12464u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 8), "QVXSTATE");
    EXPECT_EQ(numberAt(file, 8, 2), 1u);
    EXPECT_EQ(file[10], 0);
    // SHA-1("abc")
    EXPECT_EQ(romDigestText(romDigestOf(abc)), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(file[11], 0xA9);
    EXPECT_EQ(file[30], 0x9D);
    EXPECT_EQ(numberAt(file, 31, 4), 12425u);
    EXPECT_EQ(numberAt(file, 71, 2), 0x0ABCu);
    EXPECT_EQ(numberAt(file, 75, 2), 0x0234u);
    EXPECT_EQ(file[8364], 0x5A) << "4 KiB of memory last";
    Bytes checked = file;
    fixChecksum(checked);
    EXPECT_EQ(checked, file);

    chip8.rules = chip8RulesFor(Chip8Variant::XoChip);
    EXPECT_EQ(encodeSaveState(RomDigest{}, chip8).size(), 73904u) << "64 KiB of memory";
    Chip16State chip16;
    const Bytes chip16File = encodeSaveState(RomDigest{}, chip16);
    EXPECT_EQ(chip16File.size(), 142521u);
    EXPECT_EQ(chip16File[10], 1);
    EXPECT_TRUE(encodeSaveState(RomDigest{}, std::any(42)).empty());
}

// A state's own machine kind and ROM only; any damage refused with its reason; the
// machine goes on exactly as it was.
TEST_F(SaveStateTest, RefusedFilesLeaveTheMachineUntouched) {
    const RomDigest rom = romDigestOf(abc);
    Chip8Runtime machine(chip8RulesFor(Chip8Variant::SuperChipModern));
    machine.load(chip8Program(false));
    runFrames(machine, 3);
    const Bytes good = encodeSaveState(rom, machine.takeState());
    runFrames(machine, 2);
    const Bytes before = encodeSaveState(rom, machine.takeState());

    Bytes newer = good;
    newer[8] = 2;
    fixChecksum(newer);
    Bytes badStack = good;
    badStack[77] = 16; // the stack pointer: 16 return addresses, 0-15
    fixChecksum(badStack);
    Bytes badMemory = good;
    badMemory[35 + 18] = 0x1F; // the address mask: 4 KiB or 64 KiB only
    fixChecksum(badMemory);
    Bytes badKey = good;
    badKey[35 + 59] = 16; // the key Fx0A waits for: 0-15, or 0xFF for none
    fixChecksum(badKey);
    Bytes corrupt = good;
    corrupt[5000] ^= 0x01;
    Bytes longer = good;
    longer.push_back(0);
    Chip16State chip16;
    const Bytes otherRom = encodeSaveState(romDigestOf(Bytes{'a', 'b', 'd'}), machine.takeState());

    const std::pair<Bytes, std::string> refusals[] = {
        {Bytes(good.begin(), good.end() - 1), "is truncated"},
        {Bytes(good.begin(), good.begin() + 20), "is truncated"},
        {Bytes(), "is truncated"},
        {corrupt, "is corrupt (its checksum does not match)"},
        {longer, "is corrupt (bytes follow its end)"},
        {newer, "was written by a newer Quorvix (format version 2; this one reads up to 1)"},
        {badStack, "holds a value no machine can have (stack pointer)"},
        {badMemory, "holds a value no machine can have (memory size)"},
        {badKey, "holds a value no machine can have (key waited for)"},
        {Bytes{'P', 'K', 3, 4}, "is not a Quorvix save state"},
        {encodeSaveState(rom, chip16),
         "is a state of a Chip-16 machine, and a CHIP-8 machine runs"},
        {otherRom, "is a state of another ROM (SHA-1 cb4cc28df0fdbe0ecf9d9662e294b118092a5735); "
                   "load that ROM first"},
    };
    for (const auto& [bytes, reason] : refusals) {
        std::ofstream(path("bad.qvstate"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        const StateOutcome outcome = loadStateFromFile(machine, rom, path("bad.qvstate"), "bad");
        EXPECT_FALSE(outcome.done);
        EXPECT_EQ(outcome.message, "State not loaded: bad " + reason);
        EXPECT_EQ(encodeSaveState(rom, machine.takeState()), before) << reason;
    }
    Bytes huge(4 * 1024 * 1024 + 1);
    std::copy(good.begin(), good.end(), huge.begin());
    std::ofstream(path("huge.qvstate"), std::ios::binary)
        .write(reinterpret_cast<const char*>(huge.data()),
               static_cast<std::streamsize>(huge.size()));
    EXPECT_EQ(loadStateFromFile(machine, rom, path("huge.qvstate"), "huge").message,
              "State not loaded: huge is too large to be a save state");
    const StateOutcome missing = loadStateFromFile(machine, rom, path("none"), "none");
    EXPECT_EQ(missing.message, "State not loaded: cannot read none");
    EXPECT_EQ(loadStateFromFile(machine, rom, folder.path().string(), "folder").message,
              "State not loaded: cannot read folder");
}

// Values no machine can hold are refused field by field, whatever the checksum says.
TEST_F(SaveStateTest, EveryFieldIsCheckedAgainstWhatTheMachineCanHold) {
    Chip16State chip16;
    const Bytes good = encodeSaveState(RomDigest{}, chip16);
    ASSERT_TRUE(decodeSaveState(good).saved);
    const auto refusalAt = [&good](std::size_t offset, std::uint8_t value) {
        Bytes bad = good;
        bad[offset] = value;
        fixChecksum(bad);
        return decodeSaveState(bad).reason;
    };
    const std::string prefix = "holds a value no machine can have (";
    // The cycle count is a double at 35: 2^17 and 2^1009 lie past a frame, and NaN
    // compares with nothing.
    EXPECT_EQ(refusalAt(35 + 7, 0x41), prefix + "frame cycle count)");
    EXPECT_EQ(refusalAt(35 + 7, 0x7F), prefix + "frame cycle count)");
    Bytes nan = good;
    nan[35 + 6] = 0xF8;
    nan[35 + 7] = 0x7F;
    fixChecksum(nan);
    EXPECT_EQ(decodeSaveState(nan).reason, prefix + "frame cycle count)");
    EXPECT_EQ(refusalAt(35 + 7, 0xBF), prefix + "frame cycle count)") << "negative";
    EXPECT_EQ(refusalAt(35 + 44, 2), prefix + "vertical blank flag)");
    EXPECT_EQ(refusalAt(35 + 50, 1), prefix + "sprite width)") << "256";
    EXPECT_EQ(refusalAt(35 + 53 + 3, 0x80), prefix + "sprite height)");
    EXPECT_EQ(refusalAt(35 + 57, 16), prefix + "background colour)");
    EXPECT_EQ(refusalAt(35 + 124 + 5, 4), prefix + "tone waveform)");
    EXPECT_EQ(refusalAt(35 + 146, 16), prefix + "screen pixel)");
    EXPECT_EQ(refusalAt(10, 2), prefix + "machine kind)");
    Bytes version0 = good;
    version0[8] = 0;
    fixChecksum(version0);
    EXPECT_EQ(decodeSaveState(version0).reason, prefix + "version 0)");
    // A payload length that leaves fields out, with a matching checksum.
    Bytes shortPayload(good.begin(), good.begin() + 35 + 100);
    shortPayload[31] = 100;
    shortPayload[32] = 0;
    shortPayload[33] = 0;
    shortPayload.resize(shortPayload.size() + 4);
    fixChecksum(shortPayload);
    EXPECT_EQ(decodeSaveState(shortPayload).refusal, StateRefusal::Corrupt);
    EXPECT_EQ(decodeSaveState(shortPayload).reason,
              "does not hold the fields of its format version");
}

// A write that fails at any step keeps the old file whole and says why; no part-written
// file is left behind.
TEST_F(SaveStateTest, FailedWritesKeepTheFileThatWasThere) {
    const RomDigest rom = romDigestOf(abc);
    Chip8Runtime machine(quorvixRules);
    machine.load(chip8Program(false));
    const std::string target = path("slot.qvstate");
    ASSERT_TRUE(saveStateToFile(machine, rom, target, "slot").done);
    const Bytes old = fileBytes(target);
    machine.stepInstruction(); // a state that differs from the saved one

    FileWriteCalls readOnlyFolder = systemFileWriteCalls();
    readOnlyFolder.create = [](const char*) {
        errno = EROFS;
        return -1;
    };
    // The temporary file is the full device itself.
    FileWriteCalls fullDevice = systemFileWriteCalls();
    fullDevice.create = [](const char*) { return ::open("/dev/full", O_WRONLY | O_CLOEXEC); };
    FileWriteCalls takesNothing = systemFileWriteCalls();
    takesNothing.write = [](int, const void*, std::size_t) -> ssize_t { return 0; };
    FileWriteCalls syncFails = systemFileWriteCalls();
    syncFails.sync = [](int) {
        errno = EIO;
        return -1;
    };
    FileWriteCalls renameFails = systemFileWriteCalls();
    renameFails.rename = [](const char*, const char*) {
        errno = EXDEV;
        return -1;
    };
    const std::pair<FileWriteCalls, std::string> failures[] = {
        {readOnlyFolder, "Read-only file system"},  {fullDevice, "No space left on device"},
        {takesNothing, "No space left on device"},  {syncFails, "Input/output error"},
        {renameFails, "Invalid cross-device link"},
    };
    for (const auto& [calls, error] : failures) {
        const StateOutcome outcome = saveStateToFile(machine, rom, target, "slot", calls);
        EXPECT_FALSE(outcome.done);
        EXPECT_EQ(outcome.message, "State not saved: cannot write slot (" + error +
                                       "); the file there before is kept");
        EXPECT_EQ(fileBytes(target), old) << error;
        EXPECT_FALSE(std::filesystem::exists(target + ".part")) << error;
    }
    // A folder the process may not write to, when the process is not the superuser
    // (who may write anywhere).
    if (::geteuid() != 0) {
        std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_read |
                                                        std::filesystem::perms::owner_exec);
        EXPECT_FALSE(saveStateToFile(machine, rom, target, "slot").done);
        std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_all);
        EXPECT_EQ(fileBytes(target), old);
    }
    EXPECT_EQ(saveStateToFile(machine, rom, target, "slot").message, "State saved: slot");
    EXPECT_NE(fileBytes(target), old);
    EXPECT_EQ(stateSlotFileName(rom, 4), "a9993e364706816aba3e25717850c26c9cd0d89d-slot4.qvstate");
}
} // namespace
