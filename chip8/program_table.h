#pragma once
// The CHIP-8 programs database as a table compiled into the program (generated into
// program_table.cpp by scripts/generate_program_table.py): for each known ROM, by the
// SHA-1 of its bytes, the program, the platform it was written for and how it differs
// from that platform.

#include <cstddef>
#include <cstdint>

// The database's seven quirks as bits, in this order.
namespace programquirk {
constexpr std::uint8_t shift = 1;                 // 8xy6/8xyE shift Vx (else Vy into Vx)
constexpr std::uint8_t memoryIncrementByX = 2;    // Fx55/Fx65: I = I + x
constexpr std::uint8_t memoryLeaveIUnchanged = 4; // Fx55/Fx65 leave I
constexpr std::uint8_t wrap = 8;                  // sprites wrap (else clip)
constexpr std::uint8_t jump = 16;                 // Bxnn jumps to xnn + Vx
constexpr std::uint8_t vblank = 32;               // a draw waits for the display refresh
constexpr std::uint8_t logic = 64;                // 8xy1-8xy3 set VF to 0
} // namespace programquirk

struct ProgramPlatform {
    const char* id;   // "originalChip8", "superchip", "xochip", ...
    const char* name; // "Cosmac VIP CHIP-8", "Superchip 1.1", ...
    std::uint32_t defaultTickRate;
    std::uint8_t quirks;
};

constexpr std::uint8_t noProgramPlatform = 0xFF;

struct ProgramEntry {
    // The SHA-1 of the ROM's bytes as 40 lower-case hexadecimal digits.
    const char* sha1;
    const char* title;
    // Comma-separated; empty when the database names nobody.
    const char* authors;
    // Index into programPlatforms, or noProgramPlatform.
    std::uint8_t platform;
    // The quirks this ROM sets differently from its platform (programquirk bits) and
    // which way.
    std::uint8_t quirksChosen;
    std::uint8_t quirksOn;
    // Instructions per 1/60 s; 0 = the platform's own.
    std::uint32_t tickRate;
    // Degrees clockwise: 0, 90, 180 or 270.
    std::uint16_t rotation;
};

extern const ProgramPlatform programPlatforms[];
extern const std::size_t programPlatformCount;
// Sorted by SHA-1.
extern const ProgramEntry programEntries[];
extern const std::size_t programEntryCount;
