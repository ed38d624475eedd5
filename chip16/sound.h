#pragma once
// The Chip-16 sound instructions: SND0-SND3 in every mode, SNG and SNP with the later
// instruction set. The machine keeps no sound of its own; it reports each tone to its
// sound hook, stamped with the machine's time (one microsecond per instruction).

#include "chip16/chip16_machine.h"

#include <cstdint>

// The machine's emulated time in nanoseconds, as its sound events carry it.
std::uint64_t chip16EmulatedTime(const Chip16Machine& m);

// For a machine whose state was just replaced: the tone that played belongs to what
// was replaced (a state keeps no tone), so it stops.
void reportChip16SoundState(Chip16Machine& m);

// SND0 (opcode 0x09) stops the tone; SND1-SND3 (0x0A-0x0C) play 500, 1000 or 1500 Hz for
// HHLL milliseconds.
void executeChip16Beep(Chip16Machine& m, std::uint32_t word);
// SNG (0x0E): AD, VTSR set the envelope of the tones SNP plays.
void setChip16ToneEnvelope(Chip16Machine& m, std::uint32_t word);
// SNP (0x0D): the frequency in the word at the address in Rx, for HHLL milliseconds,
// through the envelope.
void playChip16Tone(Chip16Machine& m, std::uint32_t word);
