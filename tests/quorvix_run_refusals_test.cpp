// quorvix-run refuses limits it could never reach and reports output it could not write:
// each case ends with one short line on standard error and status 2 (bad argument) or 1
// (lost output), instead of running forever or passing for success.

#include "tests/support/temp_file.h"
#include "tests/support/tool_output.h"
#include "tools/quorvix_run/run_limits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {
struct Refusal {
    const char* name;
    const char* arguments; // before the ROM's path
    const char* standardOutput;
    int status;
    const char* mentions; // a piece of the line on standard error
};

class QuorvixRunRefusalTest : public ::testing::TestWithParam<Refusal> {};

TEST_P(QuorvixRunRefusalTest, OneShortLineAndTheStatus) {
    const Refusal& refusal = GetParam();
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    TempDirectory folder;
    // 0x0000 is not an instruction: the console says so at once, so --log has output.
    // Then the program jumps to itself.
    const std::string rom = folder.write("rom.ch8", {0x00, 0x00, 0x12, 0x02});
    // What the tool wrote on standard error; standard output goes to the case's file.
    const auto [status, errors] =
        runCommand(std::string(QUORVIX_RUN_EXECUTABLE) + " " + refusal.arguments + " " + rom +
                   " 2>&1 >" + refusal.standardOutput);
    EXPECT_EQ(status, refusal.status) << errors;
    EXPECT_NE(errors.find(refusal.mentions), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_TRUE(errors.ends_with("\n")) << errors;
    EXPECT_LT(errors.size(), 160u) << errors;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuorvixRunRefusalTest,
    ::testing::Values(
        // Which texts the limits refuse, the parsers' own test below says; these show the
        // refusal reaching the user, quoted.
        Refusal{"NegativeFrames", "--frames -1", "/dev/null", 2, "--frames"},
        Refusal{"FramesFarTooMany", "--frames 99999999999999999999999", "/dev/null", 2,
                "\"99999999999999999999999\""},
        Refusal{"SecondsLowerNan", "--frames 2 --seconds nan", "/dev/null", 2, "\"nan\""},
        Refusal{"SecondsInfinite", "--seconds inf", "/dev/null", 2, "\"inf\""},
        Refusal{"EmptyScreenshotName", "--frames 2 --screenshot \"\"", "/dev/null", 2,
                "--screenshot"},
        Refusal{"PokeOutsideMemory", "--poke 0x1000=1", "/dev/null", 2, "0x1000"},
        Refusal{"ScreenTextLost", "--frames 2 --screen-text", "/dev/full", 1, "standard output"},
        Refusal{"StatsLost", "--frames 2 --stats", "/dev/full", 1, "standard output"},
        Refusal{"LogLost", "--frames 30 --log", "/dev/full", 1, "standard output"},
        Refusal{"ScreenshotLost", "--frames 2 --screenshot /dev/full", "/dev/null", 1,
                "cannot write /dev/full"},
        Refusal{"SaveStateWithoutFrame", "--frames 2 --save-state s.qvstate", "/dev/null", 2,
                "--save-state"},
        Refusal{"SaveStateFolderMissing", "--frames 2 --save-state /nonexistent/s@1", "/dev/null",
                1, "State not saved: cannot write /nonexistent/s (No such file or directory)"},
        Refusal{"SaveStateFrameNeverReached", "--frames 2 --save-state /nonexistent/s@50",
                "/dev/null", 1, "the run ended before frame 50"},
        Refusal{"LoadStateMissing", "--frames 2 --load-state /nonexistent/s", "/dev/null", 1,
                "State not loaded: cannot read /nonexistent/s"},
        Refusal{"LoadStateNoFile", "--frames 2 --load-state /dev/null", "/dev/null", 1,
                "State not loaded: cannot read /dev/null"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.name; });

TEST(QuorvixRunLimitsTest, FramesAreDecimalDigitsThatFit) {
    EXPECT_EQ(parseFrameLimit("0"), 0u);
    EXPECT_EQ(parseFrameLimit("18446744073709551615"), 18446744073709551615u);
    for (const char* bad : {"", "-1", "+1", " 1", "1 ", "0x10", "1e3", "18446744073709551616"}) {
        EXPECT_FALSE(parseFrameLimit(bad)) << bad;
    }
}

TEST(QuorvixRunLimitsTest, StateSavesNameAFileAndAFrame) {
    const auto save = parseStateSave("a@b.qvstate@120");
    ASSERT_TRUE(save);
    EXPECT_EQ(save->path, "a@b.qvstate") << "split at the last @";
    EXPECT_EQ(save->frame, 120u);
    for (const char* bad : {"", "s", "s@", "@5", "s@-1", "s@5x", "s@1e3"}) {
        EXPECT_FALSE(parseStateSave(bad)) << bad;
    }
}

TEST(QuorvixRunLimitsTest, SecondsAreFiniteAndNotNegative) {
    EXPECT_EQ(parseSecondsLimit("0"), 0.0);
    EXPECT_EQ(parseSecondsLimit("2"), 2.0);
    EXPECT_EQ(parseSecondsLimit(".5"), 0.5);
    EXPECT_EQ(parseSecondsLimit("1e3"), 1000.0);
    EXPECT_EQ(parseSecondsLimit("1.5E-1"), 0.15);
    EXPECT_EQ(parseSecondsLimit("1e-310"), 1e-310); // tiny, but not 0
    for (const char* bad : {"", "nan", "NaN", "-nan", "inf", "infinity", "-1", "+1", "1e400",
                            "1e-400", "0x10", "1,5", " 1", "1s", ".", "e3"}) {
        EXPECT_FALSE(parseSecondsLimit(bad)) << bad;
    }
    EXPECT_EQ(quotedArgument("a\nb\x7F"), "\"a?b?\"");
    EXPECT_EQ(quotedArgument(std::string(40, '9')), "\"" + std::string(32, '9') + "...\"");
}
} // namespace
