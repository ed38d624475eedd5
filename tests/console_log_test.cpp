#include "app/console_log.h"

#include "platform/headless/headless_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

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

TEST_F(ConsoleLogTest, LongMessagesArriveWhole) {
    verboseConsole = 1;
    const std::string name(5000, 'r');
    logMessage("Loading: %s", name.c_str());
    EXPECT_EQ(headless::takeConsoleText(), "Loading: " + name + "\n");
}

TEST_F(ConsoleLogTest, ConcurrentMessagesArriveWhole) {
    verboseConsole = 1;
    constexpr int threads = 4;
    constexpr int messagesEach = 500;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([t] {
            for (int m = 0; m < messagesEach; ++m) {
                logMessage("writer %d says message %04d", t, m);
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    const std::string text = headless::takeConsoleText();
    for (int t = 0; t < threads; ++t) {
        for (int m = 0; m < messagesEach; m += 97) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "writer %d says message %04d", t, m);
            EXPECT_NE(text.find(expected), std::string::npos) << expected;
        }
    }
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), threads * messagesEach);
    EXPECT_EQ(text.size(), std::size_t{threads * messagesEach} *
                               (std::string("writer 0 says message 0000").size() + 1));
}

TEST_F(ConsoleLogTest, EveryOpeningPrintsTheBannerAndFollowsTheCheckMark) {
    verboseConsole = 1;
    showConsole();
    EXPECT_TRUE(isConsoleOpen());
    EXPECT_TRUE(headless::isMenuItemChecked(commandShowConsole));
    showConsole(); // already open: no second banner
    const std::string banner = "Quorvix - A (S)Chip-8 and Chip-16 Emulator by Tavrin.\n\n";
    EXPECT_EQ(headless::takeConsoleText(), banner);

    hideConsole();
    EXPECT_FALSE(isConsoleOpen());
    EXPECT_FALSE(headless::isMenuItemChecked(commandShowConsole));
    showConsole();
    EXPECT_EQ(headless::takeConsoleText(), banner);
}
