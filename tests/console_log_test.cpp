#include "app/console_control.h"
#include "platform/console_log.h"

#include "platform/headless/headless_host.h"

#include <gtest/gtest.h>

#include <string>

namespace {
class ConsoleLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        headless::captureConsole(true);
        headless::takeConsoleText();
        headless::setMainWindowExists(true);
    }
    void TearDown() override {
        hideConsole();
        verboseConsole = 0;
        headless::setMainWindowExists(false);
        headless::captureConsole(false);
    }
};
} // namespace

TEST_F(ConsoleLogTest, MessagesAppearOnlyWhileTheFlagIsSet) {
    logMessage("Error: Rom not found!");
    EXPECT_EQ(headless::takeConsoleText(), "");

    verboseConsole = 1;
    logMessage("Loading: %s\nEmulator Mode: %s", "d:\\roms\\pong.ch8", "Chip-8");
    logMessage("Unknown Instruction! [0x%x]", 0xE0FF);
    logMessage("Chip-16 Error: Unknown Opcode Called! [pc=%04x][%08x]", 0x100, 0x123400D0);
    EXPECT_EQ(headless::takeConsoleText(),
              "Loading: d:\\roms\\pong.ch8\nEmulator Mode: Chip-8\n"
              "Unknown Instruction! [0xe0ff]\n"
              "Chip-16 Error: Unknown Opcode Called! [pc=0100][123400d0]\n");

    verboseConsole = 0;
    logMessage("QUIT Opcode");
    EXPECT_EQ(headless::takeConsoleText(), "");
}

// A message and its newline reach the sink in one write, short or long, so nothing from
// another thread can land between them.
TEST_F(ConsoleLogTest, EachMessageArrivesWithItsNewlineInOneWrite) {
    verboseConsole = 1;
    headless::takeConsoleWriteCount();
    logMessage("Unknown Instruction! [0x%x]", 0x5121);
    EXPECT_EQ(headless::takeConsoleText(), "Unknown Instruction! [0x5121]\n");
    EXPECT_EQ(headless::takeConsoleWriteCount(), 1u);

    const std::string name(5000, 'r');
    logMessage("Loading: %s", name.c_str());
    EXPECT_EQ(headless::takeConsoleText(), "Loading: " + name + "\n");
    EXPECT_EQ(headless::takeConsoleWriteCount(), 1u);
}

TEST_F(ConsoleLogTest, EveryOpeningPrintsTheBannerAndFollowsTheCheckMark) {
    verboseConsole = 1;
    showConsole();
    EXPECT_TRUE(isConsoleOpen());
    EXPECT_TRUE(headless::isMenuItemChecked(32783));
    showConsole(); // already open: no second banner
    const std::string banner = "Quorvix - A (S)Chip-8 and Chip-16 Emulator by Tavrin.\n\n";
    EXPECT_EQ(headless::takeConsoleText(), banner);

    hideConsole();
    EXPECT_FALSE(isConsoleOpen());
    EXPECT_FALSE(headless::isMenuItemChecked(32783));
    showConsole();
    EXPECT_EQ(headless::takeConsoleText(), banner);
}
