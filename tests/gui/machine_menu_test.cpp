// The Machine menu and the window program's command line.

#include "tests/gui/shell_fixture.h"

#include "app/gui/command_line.h"
#include "chip8/chip8_machine.h"

#include <QActionGroup>
#include <QMenuBar>

namespace {
class MachineMenuTest : public ShellTest {
  protected:
    // The five variant items; the Speed submenu's own speed and its seven steps.
    std::string variantChecks() const { return checks(32800, 32804); }
    std::string speedChecks() const { return checks(32820, 32827); }
};

TEST_F(MachineMenuTest, MachineMenuFollowsScreenWithOneRadioGroupAndACheckItem) {
    start();
    QStringList titles;
    for (const QAction* menu : window->menuBar()->actions()) {
        titles << menu->text();
    }
    EXPECT_EQ(titles, QStringList({"&File", "Screen", "&Machine", "&Help"}));

    const QMenu* machine = window->menuBar()->actions().at(2)->menu();
    ASSERT_NE(machine, nullptr);
    QStringList items;
    for (const QAction* item : machine->actions()) {
        items << (item->isSeparator()
                      ? QStringLiteral("-")
                      : item->text() + QLatin1Char('=') + QString::number(item->data().toInt()));
    }
    EXPECT_EQ(items,
              QStringList({"Quorvix rules=32800", "CHIP-8=32801", "SUPER-CHIP (modern)=32802",
                           "SUPER-CHIP 1.1 (legacy)=32803", "XO-CHIP=32804", "Speed=0", "-",
                           "Chip-16 Extended Instructions=32810"}));
    const QActionGroup* group = window->menuAction(32800)->actionGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->isExclusive());
    EXPECT_EQ(group->actions().size(), 5);
    EXPECT_EQ(variantChecks(), "10000");
    EXPECT_TRUE(window->menuAction(32810)->isCheckable());
    EXPECT_FALSE(window->isMenuItemChecked(32810));

    const QMenu* speed = machine->actions().at(5)->menu();
    ASSERT_NE(speed, nullptr);
    QStringList steps;
    for (const QAction* item : speed->actions()) {
        steps << item->text() + QLatin1Char('=') + QString::number(item->data().toInt());
    }
    EXPECT_EQ(
        steps,
        QStringList({"Variant's Own=32820", "7 Instructions per Frame=32821",
                     "15 Instructions per Frame=32822", "30 Instructions per Frame=32823",
                     "100 Instructions per Frame=32824", "200 Instructions per Frame=32825",
                     "500 Instructions per Frame=32826", "1000 Instructions per Frame=32827"}));
    EXPECT_EQ(window->menuAction(32820)->actionGroup()->actions().size(), 8);
    EXPECT_EQ(speedChecks(), "10000000");
}

TEST_F(MachineMenuTest, AChoiceReachesTheMachineAtTheNextReset) {
    start();
    load(folder.write("spin.ch8", chip8Spin));
    EXPECT_EQ(chip8()->rules, quorvixRules);

    window->handleCommand(32802); // SUPER-CHIP (modern)
    EXPECT_EQ(variantChecks(), "00100");
    EXPECT_EQ(control().choices().variant, Chip8Variant::SuperChipModern);
    EXPECT_EQ(chip8()->rules, quorvixRules) << "the running machine keeps its rules";
    window->handleCommand(command::reset);
    EXPECT_EQ(chip8()->rules, chip8RulesFor(Chip8Variant::SuperChipModern));
    EXPECT_TRUE(anythingRuns());

    window->handleCommand(32801); // CHIP-8, then Load applies it too
    EXPECT_EQ(variantChecks(), "01000");
    load(folder.write("other.ch8", chip8Spin));
    EXPECT_EQ(chip8()->rules, chip8RulesFor(Chip8Variant::Chip8));
    window->handleCommand(32804);
    EXPECT_EQ(variantChecks(), "00001");
    EXPECT_EQ(control().choices().variant, Chip8Variant::XoChip);

    // A speed step, then the variant's own speed again; a start applies the speed as it
    // applies the variant.
    window->handleCommand(32825);
    EXPECT_EQ(speedChecks(), "00000100");
    EXPECT_EQ(control().choices().speed, 200u);
    window->handleCommand(32820);
    EXPECT_EQ(speedChecks(), "10000000");
    EXPECT_EQ(control().choices().speed, 0u);

    window->handleCommand(32810);
    EXPECT_TRUE(control().choices().chip16Extended);
    EXPECT_TRUE(window->isMenuItemChecked(32810));
    window->handleCommand(32810);
    EXPECT_FALSE(control().choices().chip16Extended);
    EXPECT_FALSE(window->isMenuItemChecked(32810));
}

TEST_F(MachineMenuTest, CommandLineChoicesShowInTheMenu) {
    window.reset();
    MachineChoices choices;
    choices.variant = Chip8Variant::SuperChipLegacy;
    choices.speed = 15;
    choices.chip16Extended = true;
    window = std::make_unique<MainWindow>(choices);
    start();
    EXPECT_EQ(variantChecks(), "00010");
    EXPECT_EQ(speedChecks(), "00100000");
    EXPECT_TRUE(window->isMenuItemChecked(32810));

    // A speed that is no step checks none of them.
    window.reset();
    choices.speed = 64;
    window = std::make_unique<MainWindow>(choices);
    start();
    EXPECT_EQ(speedChecks(), "00000000");
}

CommandLineOutcome parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "quorvix");
    return parseWindowCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

TEST(WindowCommandLineTest, OptionsBeforeOrAfterTheRomAndTheRomAsGiven) {
    const struct {
        std::vector<const char*> arguments;
        std::optional<std::string> rom;
        Chip8Variant variant;
        bool extended;
        std::uint32_t speed = 0;
    } cases[] = {
        {{}, std::nullopt, Chip8Variant::Quorvix, false},
        {{"Games/PONG.ch8"}, "Games/PONG.ch8", Chip8Variant::Quorvix, false},
        {{"a.ch8", "ignored"}, "a.ch8", Chip8Variant::Quorvix, false},
        {{"--variant", "schip", "a.ch8"}, "a.ch8", Chip8Variant::SuperChipModern, false},
        {{"a.ch8", "--variant=chip8", "--chip16-extended"}, "a.ch8", Chip8Variant::Chip8, true},
        {{"--variant", "quorvix", "--", "-dash.ch8"}, "-dash.ch8", Chip8Variant::Quorvix, false},
        {{"-"}, "-", Chip8Variant::Quorvix, false},
        // Bytes that are no valid UTF-8 reach the ROM path unchanged.
        {{"\xFF\xFE.ch8"}, "\xFF\xFE.ch8", Chip8Variant::Quorvix, false},
        {{"--variant", "xochip", "--speed", "100", "x"}, "x", Chip8Variant::XoChip, false, 100},
        {{"--speed=100000", "--variant=chip8", "a"}, "a", Chip8Variant::Chip8, false, 100000},
    };
    for (const auto& c : cases) {
        const CommandLineOutcome outcome = parse(c.arguments);
        ASSERT_TRUE(outcome.choices) << outcome.text;
        EXPECT_EQ(outcome.choices->rom, c.rom);
        EXPECT_EQ(outcome.choices->variant, c.variant);
        EXPECT_EQ(outcome.choices->chip16Extended, c.extended);
        EXPECT_EQ(outcome.choices->speed, c.speed);
    }
}

TEST(WindowCommandLineTest, UnknownOptionsAndVariantsAreUsageErrors) {
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{"--variant", "bogus", "a.ch8"}, "unknown variant \"bogus\""},
        {{"--bogus", "a.ch8"}, "Unknown option 'bogus'"},
        {{"-dash.ch8"}, "Unknown option"},
        {{"--variant"}, "Missing value"},
        {{"--variant", "xochip", "--speed", "0"}, "from 1 to 100000, got \"0\""},
        {{"--variant", "xochip", "--speed", "100001"}, "from 1 to 100000"},
        {{"--variant", "xochip", "--speed", "-5"}, "from 1 to 100000"},
        {{"--variant", "xochip", "--speed", "1e3"}, "from 1 to 100000"},
        {{"--speed", "100", "a.ch8"}, "--speed needs a paced variant (the quorvix rules"},
    };
    for (const auto& [arguments, message] : cases) {
        const CommandLineOutcome outcome = parse(arguments);
        EXPECT_FALSE(outcome.choices);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_NE(outcome.text.find(message), std::string::npos) << outcome.text;
        EXPECT_NE(outcome.text.find("--help"), std::string::npos) << outcome.text;
    }
    const CommandLineOutcome help = parse({"--help", "a.ch8"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_FALSE(help.choices);
    for (const char* text : {"--variant <name>", "chip8, schip, schip-legacy,", "xochip",
                             "--speed <N>", "--chip16-extended", "--version", "[ROM]"}) {
        EXPECT_NE(help.text.find(text), std::string::npos) << text << "\n" << help.text;
    }
    const CommandLineOutcome version = parse({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_FALSE(version.choices);
    EXPECT_FALSE(version.text.empty());
}
} // namespace
