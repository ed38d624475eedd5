#include "app/gui/command_line.h"

#include "app/gui/toolkit_options.h"
#include "chip8/program_database.h"
#include "machine/machine_settings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <string_view>
#include <vector>

namespace {
constexpr int usageErrorStatus = 2;
const QString variantName = QStringLiteral("variant");
const QString chip16ExtendedName = QStringLiteral("chip16-extended");
const QString speedName = QStringLiteral("speed");
const QString quirkName = QStringLiteral("quirk");
const QString rotateName = QStringLiteral("rotate");
const QString soundName = QStringLiteral("sound");

QString variantList() {
    QStringList names;
    for (const Chip8Variant variant : chip8Variants) {
        names << QString::fromUtf8(chip8VariantOption(variant));
    }
    return names.join(QStringLiteral(", "));
}

CommandLineOutcome usageError(const QString& message) {
    const QString program = QCoreApplication::applicationName().toLower();
    return {std::nullopt, usageErrorStatus,
            (program + QStringLiteral(": ") + message + QStringLiteral("\nTry '") + program +
             QStringLiteral(" --help' for more information.\n"))
                .toStdString()};
}

// The ROM argument's own bytes: the first argument that is not an option or an
// option's value, or the one after "--". The parser has already accepted the line.
std::optional<std::string> rawRomArgument(const std::vector<std::string>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--") {
            return i + 1 < arguments.size() ? std::optional<std::string>(arguments[i + 1])
                                            : std::nullopt;
        }
        if (argument == "--variant" || argument == "--speed" || argument == "--quirk" ||
            argument == "--rotate") {
            ++i;
        } else if (argument.size() < 2 || argument.front() != '-') {
            return std::string(argument);
        }
    }
    return std::nullopt;
}
} // namespace

CommandLineOutcome parseWindowCommandLine(int argc, const char* const* argv) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A CHIP-8, SUPER-CHIP and Chip-16 emulator. The ROM's name chooses the "
                       "machine: Chip-16 when it contains \".c16\", CHIP-8 otherwise."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption({variantName,
                      QStringLiteral("The CHIP-8 rule set: %1 (quorvix, the machine's own "
                                     "rules, is the default), or auto (each ROM's rules from "
                                     "the programs database, by its SHA-1).")
                          .arg(variantList()),
                      QStringLiteral("name")});
    parser.addOption({quirkName,
                      QStringLiteral("Turn one CHIP-8 rule switch on top of the variant; "
                                     "repeatable. Names: %1.")
                          .arg(QString::fromStdString(chip8SwitchNames())),
                      QStringLiteral("name=on|off")});
    parser.addOption({rotateName,
                      QStringLiteral("Turn the CHIP-8 picture clockwise by 0, 90, 180 or 270 "
                                     "degrees."),
                      QStringLiteral("degrees")});
    parser.addOption({speedName,
                      QStringLiteral("Instructions per 1/60 s for a paced variant (%1 to %2; "
                                     "xochip runs 1000, the others their own).")
                          .arg(chip8MinimumSpeed)
                          .arg(chip8MaximumSpeed),
                      QStringLiteral("N")});
    parser.addOption({chip16ExtendedName,
                      QStringLiteral("Run Chip-16 programs with the extended instruction set.")});
    parser.addOption({soundName, QStringLiteral("Play the machines' sound (the Machine menu's "
                                                "Sound item, off without this option).")});
    parser.addPositionalArgument(
        QStringLiteral("ROM"),
        QStringLiteral("The ROM file to start (after -- when its name starts with -)."),
        QStringLiteral("[ROM]"));

    // Parsed before the toolkit starts, so that the help, the version and a usage error
    // need no display: the toolkit's own options are set aside here instead.
    const std::vector<std::string> ours = removeToolkitOptions(argc, argv);
    QStringList arguments;
    for (const std::string& argument : ours) {
        arguments << QString::fromLocal8Bit(argument.data(),
                                            static_cast<qsizetype>(argument.size()));
    }
    if (!parser.parse(arguments)) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(help) || parser.optionNames().contains(QStringLiteral("help-all"))) {
        // Without an application object the parser cannot know the program's path and
        // puts a placeholder in the usage line.
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), arguments.constFirst());
        return {std::nullopt, 0, text.toStdString()};
    }
    if (parser.isSet(version)) {
        return {std::nullopt, 0,
                (QCoreApplication::applicationName() + QLatin1Char(' ') +
                 QCoreApplication::applicationVersion() + QLatin1Char('\n'))
                    .toStdString()};
    }

    WindowCommandLine choices;
    if (parser.isSet(variantName) &&
        parser.value(variantName) == QLatin1String(automaticVariantOption)) {
        choices.machine.automatic = true;
    } else if (parser.isSet(variantName)) {
        const QString name = parser.value(variantName);
        const auto variant = chip8VariantForOption(name.toStdString());
        if (!variant) {
            return usageError(QStringLiteral("unknown variant \"%1\" (choose one of %2, auto).")
                                  .arg(name, variantList()));
        }
        choices.machine.variant = *variant;
    }
    if (parser.isSet(speedName)) {
        const QString text = parser.value(speedName);
        const auto speed = parseChip8Speed(text.toStdString());
        if (!speed) {
            return usageError(QStringLiteral("--speed expects a whole number from %1 to %2, "
                                             "got \"%3\".")
                                  .arg(chip8MinimumSpeed)
                                  .arg(chip8MaximumSpeed)
                                  .arg(text.left(32)));
        }
        if (!choices.machine.automatic &&
            chip8RulesFor(choices.machine.variant).instructionsPerTick == 0) {
            return usageError(
                QStringLiteral("--speed needs a paced variant (the %1 rules run "
                               "as fast as the host).")
                    .arg(QString::fromUtf8(chip8VariantOption(choices.machine.variant))));
        }
        choices.machine.speed = *speed;
    }
    for (const QString& text : parser.values(quirkName)) {
        const auto quirk = parseChip8Quirk(text.toStdString());
        if (!quirk) {
            return usageError(QStringLiteral("--quirk expects NAME=on or NAME=off with a switch "
                                             "name of --help, got \"%1\".")
                                  .arg(text.left(64)));
        }
        choices.machine.overrides.set(quirk->first, quirk->second);
    }
    if (parser.isSet(rotateName)) {
        const QString text = parser.value(rotateName);
        choices.machine.rotation = parseRotation(text.toStdString());
        if (!choices.machine.rotation) {
            return usageError(QStringLiteral("--rotate expects 0, 90, 180 or 270, got \"%1\".")
                                  .arg(text.left(32)));
        }
    }
    choices.machine.chip16Extended = parser.isSet(chip16ExtendedName);
    choices.sound = parser.isSet(soundName);
    if (!parser.positionalArguments().isEmpty()) {
        choices.rom = rawRomArgument(ours);
    }
    return {choices, 0, {}};
}
