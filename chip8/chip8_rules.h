#pragma once
// The rule switches on which CHIP-8 interpreters disagree, and the named rule sets
// (variants) that real programs were written for. The machine's own rules are the
// default record; every other variant turns some switches the other way.

#include <cstdint>
#include <optional>
#include <string_view>

// When a draw waits for the next display refresh, so that at most one draw shows per
// refresh.
enum class Chip8DisplayWait : std::uint8_t { Never = 0, Always = 1, LowResolutionOnly = 2 };

struct Chip8Rules {
    // 8xy1, 8xy2, 8xy3 leave VF = 0.
    bool logicResetsVF = false;
    // Fx55 and Fx65 leave I = I + x + 1.
    bool loadStoreMovesI = false;
    // With loadStoreMovesI, I moves by x only (I = I + x), as CHIP-48 and SUPER-CHIP 1.0
    // did.
    bool loadStoreMovesIByX = false;
    // 8xy6 and 8xyE shift Vy into Vx instead of shifting Vx.
    bool shiftReadsVy = false;
    // Bnnn jumps to xnn + Vx (x = the high nibble of nnn) instead of nnn + V0.
    bool jumpAddsVx = false;
    // Sprites are clipped at the screen edges (their start position still wraps).
    bool clipsSprites = false;
    // 8xy4-8xyE write the result first and the flag last, so VF always holds the flag.
    bool flagLast = false;
    // Fx1E leaves VF alone.
    bool addToILeavesVF = false;
    // Dxy0 in low resolution draws 16 x 16 instead of 8 x 16.
    bool wideLowResolutionSprite = false;
    Chip8DisplayWait displayWait = Chip8DisplayWait::Never;
    // In low resolution the scrolls move whole CHIP-8 pixels (2 buffer pixels each).
    bool wholePixelLowResolutionScroll = false;
    // 00FE and 00FF clear the screen (all planes) as they switch the resolution.
    bool resolutionSwitchClears = false;
    // Fx0A completes when the pressed key is released (with that key), as the original
    // interpreters did, instead of when a key goes down: one held key then answers one
    // Fx0A, not every one that follows while it is held.
    bool keyWaitEndsOnRelease = false;
    // Instructions per 1/60 s tick, the timers stepping once per tick; 0 = unpaced, as
    // fast as the host runs with the timers following real time.
    std::uint32_t instructionsPerTick = 0;
    // Every address wraps to this mask: 4 KiB of memory, or 64 KiB.
    std::uint16_t addressMask = 0x0FFF;
    // The XO-CHIP additions: two bit planes (Fn01), the 4-byte long load F000 nnnn that
    // skips step over whole, 5xy2/5xy3 register ranges, 00Dn scroll up, the audio
    // pattern (F002) and pitch (Fx3A), and Fx75/Fx85 for all sixteen registers.
    bool xoChipInstructions = false;

    bool operator==(const Chip8Rules&) const = default;
};

// The machine's own rules.
inline constexpr Chip8Rules quorvixRules{};

enum class Chip8Variant : std::int32_t {
    Quorvix = 0,
    Chip8 = 1,
    SuperChipModern = 2,
    SuperChipLegacy = 3,
    XoChip = 4,
};

inline constexpr Chip8Variant chip8Variants[] = {
    Chip8Variant::Quorvix, Chip8Variant::Chip8, Chip8Variant::SuperChipModern,
    Chip8Variant::SuperChipLegacy, Chip8Variant::XoChip};

Chip8Rules chip8RulesFor(Chip8Variant variant);

// The name shown to the user: "Quorvix rules", "CHIP-8", "SUPER-CHIP (modern)",
// "SUPER-CHIP 1.1 (legacy)", "XO-CHIP".
const char* chip8VariantName(Chip8Variant variant);

// The command-line name: "quorvix", "chip8", "schip", "schip-legacy", "xochip".
const char* chip8VariantOption(Chip8Variant variant);
std::optional<Chip8Variant> chip8VariantForOption(std::string_view option);

// The bytes of memory the rules address (4,096 or 65,536).
constexpr std::uint32_t chip8MemoryBytes(const Chip8Rules& rules) {
    return std::uint32_t{rules.addressMask} + 1;
}

// Instructions per 1/60 s that a chosen speed may set, for the rule sets that are paced.
constexpr std::uint32_t chip8MinimumSpeed = 1;
constexpr std::uint32_t chip8MaximumSpeed = 100000;

// A speed given as text: decimal digits only, from chip8MinimumSpeed to
// chip8MaximumSpeed.
std::optional<std::uint32_t> parseChip8Speed(std::string_view text);
