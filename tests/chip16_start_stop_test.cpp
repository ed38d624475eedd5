#include "app/emulator_state.h"
#include "tests/chip16_test_support.h"
#include "tests/support/temp_file.h"

TEST(Chip16StartStop, FreshMachineFromTheHeadersStartAddressUntilAMissingRom) {
    EmulatorMode = MachineKind::Chip16;
    setFramePacingEnabled(false);
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    TempDirectory folder;
    // From 0 the program marks R1, from 8 (the header's start address) R2; then it loops.
    Chip16Program program;
    program.ldi(1, 0xAAAA).jmp(4).at(8).ldi(2, 0x5555).jmp(12);
    chip16.R.fill(0xBEEF); // a start resets the machine; the start state's test says how

    startChip16(folder.write("headed.c16", withChip16Header(program.image(), 8)));
    ASSERT_TRUE(chip16.display != nullptr && chip16.executeWorker != nullptr);
    EXPECT_GE(sink.waitForFrameAfter(1, std::chrono::seconds(10)), 2u);
    stopChip16();
    EXPECT_TRUE(chip16.display == nullptr && chip16.executeWorker == nullptr);
    EXPECT_EQ(chip16.R[1] + chip16.R[2] + chip16.R[3], 0x5555);

    startChip16(folder.write("good.c16", program.image()));
    startChip16((folder.path() / "missing.c16").string());
    EXPECT_TRUE(chip16.display == nullptr && chip16.executeWorker == nullptr);
    stopChip16();
    headless::setMainSurface(nullptr);
    setFramePacingEnabled(true);
}
