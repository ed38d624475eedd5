#pragma once
// Save-state files: a machine's whole emulated state with what it belongs to, as bytes
// and back. The layout (every integer little-endian, no padding):
//
//   offset   size  field
//   0        8     magic "QVXSTATE"
//   8        2     format version (saveStateVersion)
//   10       1     machine kind: 0 CHIP-8 family, 1 Chip-16
//   11       20    SHA-1 of the ROM file the state was taken from
//   31       4     payload length P
//   35       P     payload: the machine's fields, in the order of save_state.cpp
//   35 + P   4     CRC-32 (zlib's) of every byte before it
//
// Every later version keeps this frame (magic, version, kind, SHA-1, length, payload,
// CRC-32), so that any version's file is checked for truncation and damage before its
// version is looked at. The payload holds each field of Chip8State or Chip16State
// explicitly; see save_state.cpp for the order and the value each may take.

#include "machine/machine_settings.h"

#include <any>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

constexpr std::uint16_t saveStateVersion = 1;

using RomDigest = std::array<std::uint8_t, 20>;

// The SHA-1 of a ROM file's bytes, and as 40 lower-case hexadecimal digits.
RomDigest romDigestOf(std::span<const std::uint8_t> rom);
std::string romDigestText(const RomDigest& digest);

// Why a file is not taken as a state for the machine at hand.
enum class StateRefusal {
    NotAState,    // no magic at the start
    Truncated,    // shorter than its frame says
    Corrupt,      // the CRC-32 does not match, or bytes follow the CRC
    NewerVersion, // written by a later format version
    BadValue,     // a field holds a value no machine can have
    WrongMachine, // a state of the other machine kind
    OtherRom,     // a state of another ROM
};

struct SavedState {
    MachineKind kind = MachineKind::Chip8;
    RomDigest rom{};
    // A Chip8State or a Chip16State, as Machine::takeState gives it.
    std::any state;
};

struct StateReading {
    std::optional<SavedState> saved;
    // When nothing was read: why, and the words that say it ("is truncated", ...).
    StateRefusal refusal = StateRefusal::NotAState;
    std::string reason;
};

// The file's bytes for a state as Machine::takeState gives it. Empty when `state` holds
// neither machine's state.
std::vector<std::uint8_t> encodeSaveState(const RomDigest& rom, const std::any& state);

// Reads any bytes at all: a state whose every field holds a value the machine can
// have, or the refusal.
StateReading decodeSaveState(std::span<const std::uint8_t> bytes);

// Refuses a state read well that belongs to another machine kind or another ROM.
StateReading checkStateFits(StateReading reading, MachineKind kind, const RomDigest& rom);
