#include "tests/chip16_test_support.h"
#include "tests/support/temp_file.h"

// A headed image starts at the header's address on a fresh machine; a stop ends the
// worker and the display, and a reset starts the image again from its beginning.
TEST(Chip16StartStop, FreshMachineFromTheHeadersStartAddressAndAResetStartsAgain) {
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    // From 0 the program marks R1, from 8 (the header's start address) R2; then it loops.
    Chip16Program program;
    program.ldi(1, 0xAAAA).jmp(4).at(8).ldi(2, 0x5555).jmp(12);
    Chip16Runtime runtime(false);
    runtime.machine().framePacing = false;
    runtime.machine().R.fill(0xBEEF); // a load resets the machine

    runtime.load(withChip16Header(program.image(), 8));
    runtime.start();
    ASSERT_TRUE(runtime.running());
    EXPECT_GE(sink.waitForFrameAfter(1, std::chrono::seconds(10)), 2u);
    runtime.stop();
    EXPECT_FALSE(runtime.running());
    const Chip16Machine& m = runtime.machine();
    EXPECT_EQ(m.R[1] + m.R[2] + m.R[3], 0x5555);
    EXPECT_EQ(m.display, nullptr);

    runtime.load(program.image());
    runtime.start();
    EXPECT_GE(sink.waitForFrameAfter(sink.framesShown(), std::chrono::seconds(10)), 1u);
    runtime.reset();
    EXPECT_TRUE(runtime.running());
    EXPECT_GE(sink.waitForFrameAfter(sink.framesShown(), std::chrono::seconds(10)), 1u);
    runtime.stop();
    EXPECT_EQ(m.R[1], 0xAAAA);
    headless::setMainSurface(nullptr);
}
