#pragma once
// Choosing a CHIP-8 program's rules from the programs database: the ROM's SHA-1 finds
// its entry, the entry's platform gives the base variant, the platform's quirks with
// the ROM's own overrides turn its switches, and the ROM's tick rate (else the
// platform's) its speed.

#include "chip8/chip8_rules.h"
#include "chip8/program_table.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

// The command-line name of Automatic (--variant auto).
constexpr const char* automaticVariantOption = "auto";

// The entry of the ROM with this SHA-1 (40 lower-case hex digits), or nullptr.
const ProgramEntry* findProgramBySha1(std::string_view sha1);

// The largest ROM a CHIP-8 memory holds (64 KiB from 0x200 on); a longer file is no
// CHIP-8 program and is not looked up.
constexpr std::size_t largestChip8Rom = 65536 - 512;

struct RomIdentity {
    // Empty for a ROM longer than largestChip8Rom.
    std::string sha1;
    // nullptr for a ROM the database does not know.
    const ProgramEntry* entry = nullptr;
};

// Looks the ROM's bytes up (a ROM longer than largestChip8Rom stays unknown).
RomIdentity identifyChip8Rom(std::span<const std::uint8_t> rom);

// nullptr when the entry names no platform.
const ProgramPlatform* programPlatformOf(const ProgramEntry& entry);

struct ProgramRules {
    Chip8Variant base;
    Chip8Rules rules;
};

// The rules a known program runs by; nothing when its platform has no variant here
// (MEGA-CHIP, or none given).
std::optional<ProgramRules> rulesForProgram(const ProgramEntry& entry);

// "<title> by <authors> (<platform name>)"; without "by ..." when nobody is named.
std::string describeProgram(const ProgramEntry& entry);
