#include "app/console_control.h"
#include "platform/console_log.h"

#include "tests/support/captured_console.h"

#include <gtest/gtest.h>

#include <string>

namespace {
class ConsoleLogTest : public ::testing::Test {
  protected:
    void SetUp() override { headless::setMainWindowExists(true); }
    void TearDown() override {
        hideConsole();
        headless::setMainWindowExists(false);
    }
    CapturedConsole console;
};
} // namespace

TEST_F(ConsoleLogTest, MessagesAppearOnlyWhileTheFlagIsSet) {
    verboseConsole = 0;
    logMessage("Error: Rom not found!");
    EXPECT_EQ(console.take(), "");

    verboseConsole = 1; // the machines' tests check their messages' formatted text
    logMessage("Loading: %s\nEmulator Mode: %s", "d:\\roms\\pong.ch8", "Chip-8");
    EXPECT_EQ(console.take(), "Loading: d:\\roms\\pong.ch8\nEmulator Mode: Chip-8\n");

    verboseConsole = 0;
    logMessage("QUIT Opcode");
    EXPECT_EQ(console.take(), "");
}

// A message and its newline reach the sink in one write, short or long, so nothing from
// another thread can land between them.
TEST_F(ConsoleLogTest, EachMessageArrivesWithItsNewlineInOneWrite) {
    headless::takeConsoleWriteCount();
    logMessage("Unknown Instruction! [0x%x]", 0x5121);
    EXPECT_EQ(console.take(), "Unknown Instruction! [0x5121]\n");
    EXPECT_EQ(headless::takeConsoleWriteCount(), 1u);

    const std::string name(5000, 'r');
    logMessage("Loading: %s", name.c_str());
    EXPECT_EQ(console.take(), "Loading: " + name + "\n");
    EXPECT_EQ(headless::takeConsoleWriteCount(), 1u);
}

TEST_F(ConsoleLogTest, EveryOpeningPrintsTheBannerAndFollowsTheCheckMark) {
    showConsole();
    EXPECT_TRUE(isConsoleOpen());
    EXPECT_TRUE(headless::isMenuItemChecked(32783));
    showConsole(); // already open: no second banner
    const std::string banner = "Quorvix - A (S)Chip-8 and Chip-16 Emulator by Tavrin.\n\n";
    EXPECT_EQ(console.take(), banner);

    hideConsole();
    EXPECT_FALSE(isConsoleOpen());
    EXPECT_FALSE(headless::isMenuItemChecked(32783));
    showConsole();
    EXPECT_EQ(console.take(), banner);
}
