#include "chip8/program_database.h"

#include "platform/sha1.h"

#include <algorithm>
#include <cstring>

const ProgramEntry* findProgramBySha1(std::string_view sha1) {
    const ProgramEntry* const first = programEntries;
    const ProgramEntry* const last = programEntries + programEntryCount;
    const ProgramEntry* const found =
        std::lower_bound(first, last, sha1, [](const ProgramEntry& entry, std::string_view key) {
            return std::string_view(entry.sha1) < key;
        });
    return found != last && std::string_view(found->sha1) == sha1 ? found : nullptr;
}

RomIdentity identifyChip8Rom(std::span<const std::uint8_t> rom) {
    RomIdentity identity;
    if (rom.size() > largestChip8Rom) {
        return identity;
    }
    identity.sha1 = sha1Hex(rom.data(), rom.size());
    identity.entry = findProgramBySha1(identity.sha1);
    return identity;
}

const ProgramPlatform* programPlatformOf(const ProgramEntry& entry) {
    return entry.platform < programPlatformCount ? &programPlatforms[entry.platform] : nullptr;
}

namespace {
std::optional<Chip8Variant> baseVariantOf(std::string_view platform) {
    for (const char* id : {"originalChip8", "hybridVIP", "chip8x", "modernChip8"}) {
        if (platform == id) {
            return Chip8Variant::Chip8;
        }
    }
    for (const char* id : {"chip48", "superchip1", "superchip"}) {
        if (platform == id) {
            return Chip8Variant::SuperChipLegacy;
        }
    }
    if (platform == "xochip") {
        return Chip8Variant::XoChip;
    }
    return std::nullopt;
}

// The database's quirks on top of the base variant's switches.
void applyProgramQuirks(Chip8Rules& rules, std::uint8_t quirks) {
    const auto has = [quirks](std::uint8_t quirk) { return (quirks & quirk) != 0; };
    rules.shiftReadsVy = !has(programquirk::shift);
    rules.loadStoreMovesI = !has(programquirk::memoryLeaveIUnchanged);
    rules.loadStoreMovesIByX = rules.loadStoreMovesI && has(programquirk::memoryIncrementByX);
    rules.clipsSprites = !has(programquirk::wrap);
    rules.jumpAddsVx = has(programquirk::jump);
    if (!has(programquirk::vblank)) {
        rules.displayWait = Chip8DisplayWait::Never;
    } else if (rules.displayWait == Chip8DisplayWait::Never) {
        rules.displayWait = Chip8DisplayWait::Always;
    }
    rules.logicResetsVF = has(programquirk::logic);
}
} // namespace

std::optional<ProgramRules> rulesForProgram(const ProgramEntry& entry) {
    const ProgramPlatform* const platform = programPlatformOf(entry);
    if (platform == nullptr) {
        return std::nullopt;
    }
    const auto base = baseVariantOf(platform->id);
    if (!base) {
        return std::nullopt;
    }
    ProgramRules chosen{*base, chip8RulesFor(*base)};
    const auto quirks = static_cast<std::uint8_t>((platform->quirks & ~entry.quirksChosen) |
                                                  (entry.quirksOn & entry.quirksChosen));
    applyProgramQuirks(chosen.rules, quirks);
    const std::uint32_t tickRate = entry.tickRate != 0 ? entry.tickRate : platform->defaultTickRate;
    if (tickRate != 0) {
        chosen.rules.instructionsPerTick =
            std::clamp(tickRate, chip8MinimumSpeed, chip8MaximumSpeed);
    }
    return chosen;
}

std::string describeProgram(const ProgramEntry& entry) {
    std::string text = entry.title;
    if (*entry.authors != '\0') {
        text += std::string(" by ") + entry.authors;
    }
    const ProgramPlatform* const platform = programPlatformOf(entry);
    text += std::string(" (") + (platform != nullptr ? platform->name : "no platform") + ")";
    return text;
}
