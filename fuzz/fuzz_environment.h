#pragma once
// The process around a fuzz target: no window and no workers, but a picture surface
// that takes frames without waiting; a clock that only moves when the target says so;
// console text captured and thrown away.

#include "machine/machine_keys.h"
#include "platform/headless/headless_host.h"
#include "platform/random.h"

#include <cstdint>
#include <span>
#include <string>

// Once per process; every target calls it first.
void prepareFuzzEnvironment();

// The picture surface: it keeps the last frame and never waits for a refresh.
headless::FrameSink& fuzzFrameSink();

// Console on or off for one input; closeFuzzConsole() drops what was written.
void openFuzzConsole(bool on);
void closeFuzzConsole();

// Holds exactly the keys whose bits are set: bit k of `mask` is machine key keyOfBit[k].
void holdKeys(MachineKeys& keys, std::span<const unsigned> keyOfBit, std::uint32_t mask);

// The random generator every input's machine starts with, so a kept input draws the
// same numbers again when it is replayed.
RandomState fuzzRandom();

// Writes `bytes` to this process's scratch ROM file and returns its path.
const std::string& writeScratchRom(std::span<const std::uint8_t> bytes);
