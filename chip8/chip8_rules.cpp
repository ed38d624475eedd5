#include "chip8/chip8_rules.h"

Chip8Rules chip8RulesFor(Chip8Variant variant) {
    Chip8Rules rules;
    switch (variant) {
    case Chip8Variant::Quorvix: break;
    case Chip8Variant::Chip8:
        rules.logicResetsVF = true;
        rules.loadStoreMovesI = true;
        rules.shiftReadsVy = true;
        rules.clipsSprites = true;
        rules.flagLast = true;
        rules.addToILeavesVF = true;
        rules.displayWait = Chip8DisplayWait::Always;
        rules.keyWaitEndsOnRelease = true;
        rules.instructionsPerTick = 15;
        break;
    case Chip8Variant::SuperChipModern:
    case Chip8Variant::SuperChipLegacy: {
        const bool legacy = variant == Chip8Variant::SuperChipLegacy;
        rules.jumpAddsVx = true;
        rules.clipsSprites = true;
        rules.flagLast = true;
        rules.addToILeavesVF = true;
        rules.wideLowResolutionSprite = true;
        rules.displayWait = legacy ? Chip8DisplayWait::LowResolutionOnly : Chip8DisplayWait::Never;
        // The legacy interpreter scrolled the calculator's own pixels: half a CHIP-8
        // pixel in low resolution, which is the machine's rule.
        rules.wholePixelLowResolutionScroll = !legacy;
        rules.resolutionSwitchClears = !legacy;
        rules.keyWaitEndsOnRelease = true;
        rules.instructionsPerTick = 30;
        break;
    }
    case Chip8Variant::XoChip:
        rules.loadStoreMovesI = true;
        rules.shiftReadsVy = true;
        rules.flagLast = true;
        rules.addToILeavesVF = true;
        rules.wideLowResolutionSprite = true;
        rules.wholePixelLowResolutionScroll = true;
        rules.resolutionSwitchClears = true;
        rules.keyWaitEndsOnRelease = true;
        rules.instructionsPerTick = 1000;
        rules.addressMask = 0xFFFF;
        rules.xoChipInstructions = true;
        break;
    }
    return rules;
}

const char* chip8VariantName(Chip8Variant variant) {
    switch (variant) {
    case Chip8Variant::Quorvix: return "Quorvix rules";
    case Chip8Variant::Chip8: return "CHIP-8";
    case Chip8Variant::SuperChipModern: return "SUPER-CHIP (modern)";
    case Chip8Variant::SuperChipLegacy: return "SUPER-CHIP 1.1 (legacy)";
    case Chip8Variant::XoChip: return "XO-CHIP";
    }
    return "";
}

const char* chip8VariantOption(Chip8Variant variant) {
    switch (variant) {
    case Chip8Variant::Quorvix: return "quorvix";
    case Chip8Variant::Chip8: return "chip8";
    case Chip8Variant::SuperChipModern: return "schip";
    case Chip8Variant::SuperChipLegacy: return "schip-legacy";
    case Chip8Variant::XoChip: return "xochip";
    }
    return "";
}

std::optional<std::uint32_t> parseChip8Speed(std::string_view text) {
    if (text.empty() || text.size() > 6) {
        return std::nullopt;
    }
    std::uint32_t speed = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        speed = speed * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (speed < chip8MinimumSpeed || speed > chip8MaximumSpeed) {
        return std::nullopt;
    }
    return speed;
}

std::optional<Chip8Variant> chip8VariantForOption(std::string_view option) {
    for (const Chip8Variant variant : chip8Variants) {
        if (option == chip8VariantOption(variant)) {
            return variant;
        }
    }
    return std::nullopt;
}
