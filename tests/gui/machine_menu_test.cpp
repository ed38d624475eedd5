// The Machine menu and the window program's command line.

#include "tests/gui/shell_fixture.h"

#include "app/gui/command_line.h"
#include "app/gui/switches_dialog.h"
#include "chip8/chip8_machine.h"
#include "chip8/chip8_switches.h"
#include "tests/support/ints.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QMenuBar>

namespace {
class MachineMenuTest : public ShellTest {
  protected:
    // The five variant items, then Automatic; the Speed submenu's own speed and its
    // seven steps.
    std::string variantChecks() const { return checks(32800, 32805); }
    std::string speedChecks() const { return checks(32820, 32827); }
};

TEST_F(MachineMenuTest, MachineMenuFollowsScreenWithOneRadioGroupAndACheckItem) {
    start();
    QStringList titles;
    for (const QAction* menu : window->menuBar()->actions()) {
        titles << menu->text();
    }
    EXPECT_EQ(titles, QStringList({"&File", "Screen", "&Machine", "&Debug", "&Help"}));

    const QMenu* machine = window->menuBar()->actions().at(2)->menu();
    ASSERT_NE(machine, nullptr);
    QStringList items;
    for (const QAction* item : machine->actions()) {
        items << (item->isSeparator()
                      ? QStringLiteral("-")
                      : item->text() + QLatin1Char('=') + QString::number(item->data().toInt()));
    }
    EXPECT_EQ(
        items,
        QStringList({"Automatic (from the programs database)=32805", "Quorvix rules=32800",
                     "CHIP-8=32801", "SUPER-CHIP (modern)=32802", "SUPER-CHIP 1.1 (legacy)=32803",
                     "XO-CHIP=32804", "Custom...=32806", "Speed=0", "-",
                     "Chip-16 Extended Instructions=32810", "-", "Sound=32830", "Volume=0"}));
    const QActionGroup* group = window->menuAction(32800)->actionGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->isExclusive());
    EXPECT_EQ(group->actions().size(), 6);
    EXPECT_EQ(window->menuAction(32805)->actionGroup(), group);
    EXPECT_FALSE(window->menuAction(32806)->isCheckable());
    EXPECT_EQ(variantChecks(), "100000");
    EXPECT_TRUE(window->menuAction(32810)->isCheckable());
    EXPECT_FALSE(window->isMenuItemChecked(32810));

    const QMenu* speed = machine->actions().at(7)->menu();
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
    EXPECT_EQ(variantChecks(), "001000");
    EXPECT_EQ(control().choices().variant, Chip8Variant::SuperChipModern);
    EXPECT_EQ(chip8()->rules, quorvixRules) << "the running machine keeps its rules";
    window->handleCommand(command::reset);
    EXPECT_EQ(chip8()->rules, chip8RulesFor(Chip8Variant::SuperChipModern));
    EXPECT_TRUE(anythingRuns());

    window->handleCommand(32801); // CHIP-8, then Load applies it too
    EXPECT_EQ(variantChecks(), "010000");
    load(folder.write("other.ch8", chip8Spin));
    EXPECT_EQ(chip8()->rules, chip8RulesFor(Chip8Variant::Chip8));
    window->handleCommand(32804);
    EXPECT_EQ(variantChecks(), "000010");
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
    EXPECT_EQ(variantChecks(), "000100");
    EXPECT_EQ(speedChecks(), "00100000");
    EXPECT_TRUE(window->isMenuItemChecked(32810));

    // A speed that is no step checks none of them.
    window.reset();
    choices.speed = 64;
    window = std::make_unique<MainWindow>(choices);
    start();
    EXPECT_EQ(speedChecks(), "00000000");
}

// Automatic looks each CHIP-8 ROM up at Load and Reset: a known ROM runs by its
// platform's rules and the log names it; an unknown one runs by the machine's own. A
// variant item turns Automatic off again.
TEST_F(MachineMenuTest, AutomaticChoosesTheRulesOfEachRomAtItsStart) {
    start();
    window->handleCommand(command::showConsole);
    window->handleCommand(32805);
    EXPECT_EQ(variantChecks(), "000001");
    EXPECT_TRUE(control().choices().automatic);
    load(folder.write("unknown.ch8", chip8Spin));
    EXPECT_EQ(chip8()->rules, quorvixRules);
    EXPECT_TRUE(
        consoleText().contains("Program: not in the programs database; running by Quorvix rules"))
        << consoleText().toStdString();

    if (!sharedRomFolder().empty()) {
        load((sharedRomFolder() / "chip8/timendus/2-ibm-logo.ch8").string());
        EXPECT_EQ(chip8()->rules, chip8RulesFor(Chip8Variant::Chip8));
        EXPECT_TRUE(consoleText().contains(
            "Program: CHIP-8 test suite: IBM logo by Timendus (Cosmac VIP CHIP-8)\n"
            "Variant: CHIP-8\n"))
            << consoleText().toStdString();
    }
    // A Chip-16 ROM is not looked up.
    load(folder.write("spin.c16", chip16Spin));
    EXPECT_EQ(consoleText().count("Program:"), sharedRomFolder().empty() ? 1 : 2);

    window->handleCommand(32800);
    EXPECT_EQ(variantChecks(), "100000");
    EXPECT_FALSE(control().choices().automatic);
}

// Custom... shows the chosen variant's switches with the user's changes on top; what the
// user changes there reaches the machine at the next start, and a variant item drops it.
TEST_F(MachineMenuTest, CustomSwitchesApplyAtTheNextStart) {
    start();
    QString shownName;
    Chip8Rules shown;
    std::optional<Chip8Rules> answer;
    window->setSwitchEditor([&](QWidget*, const QString& name, const Chip8Rules& rules) {
        shownName = name;
        shown = rules;
        return answer;
    });
    window->handleCommand(32802); // SUPER-CHIP (modern)
    Chip8Rules edited = chip8RulesFor(Chip8Variant::SuperChipModern);
    edited.clipsSprites = false;
    edited.logicResetsVF = true;
    answer = edited;
    window->handleCommand(32806);
    EXPECT_EQ(shownName, "SUPER-CHIP (modern)");
    EXPECT_EQ(shown, chip8RulesFor(Chip8Variant::SuperChipModern));
    load(folder.write("spin.ch8", chip8Spin));
    EXPECT_EQ(chip8()->rules, edited);
    EXPECT_EQ(variantChecks(), "001000");

    answer = std::nullopt; // cancelled: the changes stay
    window->handleCommand(32806);
    EXPECT_EQ(shown, edited);
    window->handleCommand(command::reset);
    EXPECT_EQ(chip8()->rules, edited);

    window->handleCommand(32801);
    window->handleCommand(32806);
    EXPECT_EQ(shown, chip8RulesFor(Chip8Variant::Chip8));
}

// The dialog has a box per switch, set as the shown rules have it.
TEST_F(MachineMenuTest, SwitchesDialogShowsAndEditsEachSwitch) {
    const Chip8Rules chip8Rules = chip8RulesFor(Chip8Variant::Chip8);
    SwitchesDialog dialog(window.get(), QStringLiteral("CHIP-8"), chip8Rules);
    std::string boxes;
    for (std::size_t i = 0; i < 14; ++i) {
        boxes += dialog.box(i)->isChecked() ? '1' : '0';
    }
    // logic, moves I, by x, shift Vy, jump Vx, clip, flag last, Fx1E, wide Dxy0, wait, wait
    // in low resolution only, whole-pixel scroll, 00FE/00FF clear, Fx0A on release.
    EXPECT_EQ(boxes, "11010111010001");
    EXPECT_EQ(dialog.box(5)->text(), "Sprites are clipped at the screen edges  (clip)");
    dialog.box(5)->setChecked(false);
    dialog.box(12)->setChecked(true);
    Chip8Rules expected = chip8Rules;
    expected.clipsSprites = false;
    expected.resolutionSwitchClears = true;
    EXPECT_EQ(dialog.rules(), expected);
}

// A picture turned on its side makes the window as tall as it was wide.
TEST_F(MachineMenuTest, ATurnedPictureTurnsTheWindow) {
    window.reset();
    MachineChoices choices;
    choices.rotation = 90;
    window = std::make_unique<MainWindow>(choices);
    window->setRomChooser([this](QWidget*) { return nextChoice; });
    start();
    load(folder.write("spin.ch8", chip8Spin));
    EXPECT_EQ(window->clientSize(), QSize(512, 1024));
    choices.rotation = 180;
    control().setChoices(choices);
    window->handleCommand(command::reset);
    EXPECT_EQ(window->clientSize(), QSize(1024, 512));
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
        // Qt's own options, with their values, are no ROM and no usage error.
        {{"-platform", "offscreen", "a.ch8"}, "a.ch8", Chip8Variant::Quorvix, false},
        {{"--style=Fusion", "-reverse", "-display", ":1", "--variant", "chip8"},
         std::nullopt,
         Chip8Variant::Chip8,
         false},
        {{"-qwindowtitle", "a.ch8", "b.c16"}, "b.c16", Chip8Variant::Quorvix, false},
        {{"--", "-reverse"}, "-reverse", Chip8Variant::Quorvix, false},
    };
    for (const auto& c : cases) {
        const CommandLineOutcome outcome = parse(c.arguments);
        ASSERT_TRUE(outcome.choices) << outcome.text;
        EXPECT_EQ(outcome.choices->rom, c.rom);
        EXPECT_EQ(outcome.choices->machine.variant, c.variant);
        EXPECT_EQ(outcome.choices->machine.chip16Extended, c.extended);
        EXPECT_EQ(outcome.choices->machine.speed, c.speed);
    }
}

TEST(WindowCommandLineTest, AutomaticQuirksAndRotation) {
    const CommandLineOutcome outcome =
        parse({"--variant", "auto", "--speed", "50", "--quirk", "clip=off", "--quirk",
               "fx0a-on-release=on", "--rotate", "270", "a.ch8"});
    ASSERT_TRUE(outcome.choices) << outcome.text;
    EXPECT_TRUE(outcome.choices->machine.automatic);
    EXPECT_EQ(outcome.choices->machine.speed, 50u);
    EXPECT_EQ(outcome.choices->rom, "a.ch8");
    EXPECT_EQ(outcome.choices->machine.rotation, 270);
    // clip (bit 5) off, fx0a-on-release (bit 13) on.
    EXPECT_EQ(outcome.choices->machine.overrides.chosen, (1u << 5) | (1u << 13));
    EXPECT_EQ(outcome.choices->machine.overrides.on, 1u << 13);
    const CommandLineOutcome plain = parse({"a.ch8"});
    EXPECT_EQ(ints(plain.choices->machine.automatic, plain.choices->machine.overrides.chosen,
                   plain.choices->machine.rotation.has_value()),
              ints(0, 0, 0));
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
        {{"--variant", "Auto"}, "unknown variant \"Auto\""},
        {{"--quirk", "bogus=on"}, "--quirk expects NAME=on or NAME=off"},
        {{"--quirk", "clip=maybe"}, "got \"clip=maybe\""},
        {{"--quirk", "clip"}, "--quirk expects"},
        {{"--rotate", "45"}, "--rotate expects 0, 90, 180 or 270, got \"45\""},
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
    for (const char* text :
         {"--variant <name>", "quorvix, chip8, schip,", "schip-legacy, xochip", "auto",
          "--speed <N>", "--quirk <name=on|off>", "logic-resets-vf", "fx0a-on-release",
          "--rotate <degrees>", "--chip16-extended", "--version", "[ROM]"}) {
        EXPECT_NE(help.text.find(text), std::string::npos) << text << "\n" << help.text;
    }
    const CommandLineOutcome version = parse({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_FALSE(version.choices);
    EXPECT_FALSE(version.text.empty());
}
} // namespace
