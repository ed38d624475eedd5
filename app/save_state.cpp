#include "app/save_state.h"

#include "chip16/chip16_machine.h"
#include "chip16/run_loop.h"
#include "chip8/chip8_machine.h"
#include "platform/sha1.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string_view>

namespace {
constexpr std::string_view magic = "QVXSTATE";
constexpr std::size_t headerSize = 35;
constexpr std::size_t crcSize = 4;

// The number of fields of an aggregate: the most initialisers it takes.
struct AnyField {
    template <typename T> operator T() const; // NOLINT(google-explicit-constructor)
};
template <typename T, typename... Fields> constexpr std::size_t countFields() {
    if constexpr (requires { T{Fields{}..., AnyField{}}; }) {
        return countFields<T, Fields..., AnyField>();
    } else {
        return sizeof...(Fields);
    }
}
// A field added to a machine's state must be added to the format below (and the
// version raised); these counts are the reminder.
static_assert(countFields<Chip8Rules>() == 16, "a CHIP-8 rule was added: save it in the file");
static_assert(countFields<Chip8State>() == 22, "a CHIP-8 field was added: save it in the file");
static_assert(countFields<Chip16State>() == 22, "a Chip-16 field was added: save it in the file");
static_assert(countFields<RandomState>() == 2 && countFields<ToneEnvelope>() == 6,
              "a random or tone field was added: save it in the file");

std::uint32_t crc32Of(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint32_t>(crc32_z(crc32_z(0L, Z_NULL, 0), bytes.data(), bytes.size()));
}

// Appends fields little-endian. Takes the same calls as FieldReader, so one list of
// fields (visitChip8Fields, visitChip16Fields) writes and reads a state.
class FieldWriter {
  public:
    explicit FieldWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void number(std::uint64_t value, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i) {
            out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
    }
    void byte(const std::uint8_t& value, const char* /*name*/ = nullptr, unsigned /*max*/ = 255) {
        number(value, 1);
    }
    void flag(const bool& value, const char* /*name*/) { number(value ? 1 : 0, 1); }
    void flag(const std::uint8_t& value, const char* /*name*/) { number(value, 1); }
    void word(const std::uint16_t& value) { number(value, 2); }
    void number32(const std::uint32_t& value, const char* /*name*/ = nullptr,
                  std::uint32_t /*max*/ = UINT32_MAX) {
        number(value, 4);
    }
    void signed32(const std::int32_t& value, const char* /*name*/, std::int32_t /*min*/,
                  std::int32_t /*max*/) {
        number(static_cast<std::uint32_t>(value), 4);
    }
    void number64(const std::uint64_t& value) { number(value, 8); }
    // IEEE 754 binary64, as its bits.
    void real(const double& value, const char* /*name*/, double /*min*/, double /*max*/) {
        number(std::bit_cast<std::uint64_t>(value), 8);
    }
    template <typename Enum>
    void choice(const Enum& value, const char* /*name*/, unsigned /*count*/) {
        number(static_cast<std::uint64_t>(value), 1);
    }
    void bytes(std::span<const std::uint8_t> values, const char* /*name*/ = nullptr,
               unsigned /*max*/ = 255) {
        out_.insert(out_.end(), values.begin(), values.end());
    }
    void words(std::span<const std::uint16_t> values) {
        for (const std::uint16_t value : values) {
            word(value);
        }
    }
    void addressMask(const std::uint16_t& value) { word(value); }
    void keyOrNone(const std::uint8_t& value) { number(value, 1); }

  private:
    std::vector<std::uint8_t>& out_;
};

// Reads fields little-endian and checks each against what the machine can hold; the
// first field that does not fit (or does not fit into what is left) ends the reading.
class FieldReader {
  public:
    explicit FieldReader(std::span<const std::uint8_t> in) : in_(in) {}

    bool failed() const { return failed_; }
    bool ranOut() const { return ranOut_; }
    bool atEnd() const { return position_ == in_.size(); }
    const char* badField() const { return badField_; }

    std::uint64_t number(std::size_t bytes) {
        if (!take(bytes)) {
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            value |= std::uint64_t{in_[position_ + i]} << (8 * i);
        }
        position_ += bytes;
        return value;
    }
    // Whether `count` more bytes are there to read; the first shortfall ends the reading.
    bool take(std::size_t count) {
        if (failed_) {
            return false;
        }
        if (in_.size() - position_ < count) {
            failed_ = true;
            ranOut_ = true;
            return false;
        }
        return true;
    }
    void byte(std::uint8_t& value, const char* name = nullptr, unsigned max = 255) {
        value = static_cast<std::uint8_t>(checked(number(1), max, name));
    }
    void flag(bool& value, const char* name) { value = checked(number(1), 1, name) != 0; }
    void flag(std::uint8_t& value, const char* name) { byte(value, name, 1); }
    void word(std::uint16_t& value) { value = static_cast<std::uint16_t>(number(2)); }
    void number32(std::uint32_t& value, const char* name = nullptr,
                  std::uint32_t max = UINT32_MAX) {
        value = static_cast<std::uint32_t>(checked(number(4), max, name));
    }
    void signed32(std::int32_t& value, const char* name, std::int32_t min, std::int32_t max) {
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(number(4)));
        if (value < min || value > max) {
            refuse(name);
            value = 0;
        }
    }
    void number64(std::uint64_t& value) { value = number(8); }
    void real(double& value, const char* name, double min, double max) {
        value = std::bit_cast<double>(number(8));
        // Also refuses NaN, which compares false either way.
        if (!(value >= min && value <= max)) {
            refuse(name);
            value = 0.0;
        }
    }
    template <typename Enum> void choice(Enum& value, const char* name, unsigned count) {
        value = static_cast<Enum>(checked(number(1), count - 1, name));
    }
    void bytes(std::span<std::uint8_t> values, const char* name = nullptr, unsigned max = 255) {
        if (!take(values.size())) {
            return;
        }
        std::copy_n(in_.begin() + static_cast<std::ptrdiff_t>(position_), values.size(),
                    values.begin());
        position_ += values.size();
        if (max < 255 && std::any_of(values.begin(), values.end(),
                                     [max](std::uint8_t value) { return value > max; })) {
            refuse(name);
        }
    }
    void words(std::span<std::uint16_t> values) {
        for (std::uint16_t& value : values) {
            word(value);
        }
    }
    // The rules address 4 KiB or 64 KiB; the memory that follows is that long.
    void addressMask(std::uint16_t& value) {
        word(value);
        if (value != 0x0FFF && value != 0xFFFF) {
            refuse("memory size");
            value = 0x0FFF;
        }
    }

    // A CHIP-8 key 0-15, or chip8NoKeyWaited.
    void keyOrNone(std::uint8_t& value) {
        byte(value);
        if (value > 15 && value != chip8NoKeyWaited) {
            refuse("key waited for");
            value = chip8NoKeyWaited;
        }
    }

  private:
    std::uint64_t checked(std::uint64_t value, std::uint64_t max, const char* name) {
        if (value > max) {
            refuse(name);
            return 0;
        }
        return value;
    }
    void refuse(const char* name) {
        if (!failed_) {
            failed_ = true;
            badField_ = name;
        }
    }

    std::span<const std::uint8_t> in_;
    std::size_t position_ = 0;
    bool failed_ = false;
    bool ranOut_ = false;
    const char* badField_ = nullptr;
};

template <typename Fields, typename Rules> void visitChip8Rules(Fields& f, Rules& r) {
    f.flag(r.logicResetsVF, "rule switch");
    f.flag(r.loadStoreMovesI, "rule switch");
    f.flag(r.loadStoreMovesIByX, "rule switch");
    f.flag(r.shiftReadsVy, "rule switch");
    f.flag(r.jumpAddsVx, "rule switch");
    f.flag(r.clipsSprites, "rule switch");
    f.flag(r.flagLast, "rule switch");
    f.flag(r.addToILeavesVF, "rule switch");
    f.flag(r.wideLowResolutionSprite, "rule switch");
    f.choice(r.displayWait, "display wait", 3);
    f.flag(r.wholePixelLowResolutionScroll, "rule switch");
    f.flag(r.resolutionSwitchClears, "rule switch");
    f.flag(r.keyWaitEndsOnRelease, "rule switch");
    f.number32(r.instructionsPerTick, "speed", chip8MaximumSpeed);
    f.addressMask(r.addressMask);
    f.flag(r.xoChipInstructions, "extended instruction switch");
}

// The CHIP-8 payload, in file order. `State` is Chip8State, const when writing.
template <typename Fields, typename State> void visitChip8Fields(Fields& f, State& s) {
    visitChip8Rules(f, s.rules);
    f.bytes(s.V);
    f.word(s.I);
    f.byte(s.delayTimer);
    f.byte(s.soundTimer);
    f.word(s.pc);
    // The stack holds 16 return addresses.
    f.byte(s.sp, "stack pointer", 15);
    f.bytes(s.rplFlags);
    f.keyOrNone(s.keyWaited);
    f.byte(s.planes, "plane selection", 3);
    f.bytes(s.audioPattern);
    f.byte(s.pitch);
    f.number32(s.random.value);
    f.flag(s.random.seeded, "random seed flag");
    f.number64(s.ticksCompleted);
    // A tick under way has run fewer than a tick's instructions; unpaced rules have none.
    f.number32(s.tickInstructionsDone, "tick progress",
               std::max<std::uint32_t>(s.rules.instructionsPerTick, 1) - 1);
    f.number32(s.screenWidth, "screen width", chip8ScreenWidth);
    f.number32(s.screenHeight, "screen height", chip8ScreenHeight);
    f.flag(s.hiRes, "resolution");
    f.flag(s.eraseFlag, "erase flag");
    f.words(s.stack);
    // The large blocks last, so that every register and setting lies near the start.
    f.bytes(s.screen, "screen pixel", 3);
    // Only the memory the rules address; the rest of the record stays zero.
    f.bytes(std::span(s.memory).first(chip8MemoryBytes(s.rules)));
}

// The Chip-16 payload, in file order. `State` is Chip16State, const when writing.
template <typename Fields, typename State> void visitChip16Fields(Fields& f, State& s) {
    // Between two instructions the frame's count lies from 0 to one past a frame.
    f.real(s.cycles, "frame cycle count", 0.0, chip16CyclesPerFrame + 1.0);
    f.words(s.R);
    f.word(s.pc);
    f.word(s.sp);
    f.flag(s.vblank, "vertical blank flag");
    f.flag(s.carry, "carry flag");
    f.flag(s.zero, "zero flag");
    f.flag(s.overflow, "overflow flag");
    f.flag(s.negative, "negative flag");
    f.signed32(s.spriteWidth, "sprite width", 0, 255);
    f.signed32(s.spriteHeight, "sprite height", 0, 255);
    f.byte(s.backgroundColour, "background colour", 15);
    f.flag(s.flipHorizontal, "horizontal flip");
    f.flag(s.flipVertical, "vertical flip");
    for (auto& colour : s.palette) {
        f.number32(colour);
    }
    f.byte(s.toneEnvelope.attack, "tone attack", 15);
    f.byte(s.toneEnvelope.decay, "tone decay", 15);
    f.byte(s.toneEnvelope.sustain, "tone sustain", 15);
    f.byte(s.toneEnvelope.release, "tone release", 15);
    f.byte(s.toneEnvelope.volume, "tone volume", 15);
    f.choice(s.toneEnvelope.waveform, "tone waveform", 4);
    f.number32(s.random.value);
    f.flag(s.random.seeded, "random seed flag");
    f.flag(s.extendedInstructions, "extended instruction switch");
    f.word(s.startAddress);
    f.number64(s.framesCompleted);
    // The large blocks last, so that every register and setting lies near the start.
    f.bytes(s.screen, "screen pixel", 15);
    f.bytes(s.memory);
}

StateReading refused(StateRefusal refusal, std::string reason) {
    StateReading reading;
    reading.refusal = refusal;
    reading.reason = std::move(reason);
    return reading;
}

std::uint64_t readNumber(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value |= std::uint64_t{bytes[at + i]} << (8 * i);
    }
    return value;
}

template <typename State, typename Visit>
StateReading decodePayload(std::span<const std::uint8_t> payload, SavedState saved, Visit visit) {
    // Large records: on the heap, as std::any would hold them anyway.
    auto state = std::make_unique<State>();
    FieldReader reader(payload);
    visit(reader, *state);
    if (reader.ranOut() || (!reader.failed() && !reader.atEnd())) {
        return refused(StateRefusal::Corrupt, "does not hold the fields of its format version");
    }
    if (reader.failed()) {
        return refused(StateRefusal::BadValue, std::string("holds a value no machine can have (") +
                                                   reader.badField() + ")");
    }
    saved.state = std::move(*state);
    StateReading reading;
    reading.saved = std::move(saved);
    return reading;
}

const char* machineName(MachineKind kind) {
    return kind == MachineKind::Chip16 ? "Chip-16" : "CHIP-8";
}
} // namespace

RomDigest romDigestOf(std::span<const std::uint8_t> rom) {
    const std::string text = sha1Hex(rom.data(), rom.size());
    RomDigest digest{};
    for (std::size_t i = 0; i < digest.size() && 2 * i + 1 < text.size(); ++i) {
        const auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
        digest[i] = static_cast<std::uint8_t>(nibble(text[2 * i]) << 4 | nibble(text[2 * i + 1]));
    }
    return digest;
}

std::string romDigestText(const RomDigest& digest) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t b : digest) {
        text += digits[b >> 4];
        text += digits[b & 0xF];
    }
    return text;
}

std::vector<std::uint8_t> encodeSaveState(const RomDigest& rom, const std::any& state) {
    std::vector<std::uint8_t> payload;
    FieldWriter fields(payload);
    MachineKind kind = MachineKind::Chip8;
    if (const auto* chip8 = std::any_cast<Chip8State>(&state)) {
        visitChip8Fields(fields, *chip8);
    } else if (const auto* chip16 = std::any_cast<Chip16State>(&state)) {
        kind = MachineKind::Chip16;
        visitChip16Fields(fields, *chip16);
    } else {
        return {};
    }
    std::vector<std::uint8_t> file(magic.begin(), magic.end());
    FieldWriter header(file);
    header.number(saveStateVersion, 2);
    header.number(static_cast<std::uint64_t>(kind), 1);
    file.insert(file.end(), rom.begin(), rom.end());
    header.number(payload.size(), 4);
    file.insert(file.end(), payload.begin(), payload.end());
    header.number(crc32Of(file), 4);
    return file;
}

StateReading decodeSaveState(std::span<const std::uint8_t> bytes) {
    const std::size_t magicSeen = std::min(bytes.size(), magic.size());
    if (!std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(magicSeen),
                    magic.begin())) {
        return refused(StateRefusal::NotAState, "is not a Quorvix save state");
    }
    if (bytes.size() < headerSize) {
        return refused(StateRefusal::Truncated, "is truncated");
    }
    const std::uint64_t payloadSize = readNumber(bytes, 31, 4);
    const std::uint64_t whole = headerSize + payloadSize + crcSize;
    if (bytes.size() < whole) {
        return refused(StateRefusal::Truncated, "is truncated");
    }
    if (bytes.size() > whole) {
        return refused(StateRefusal::Corrupt, "is corrupt (bytes follow its end)");
    }
    const auto checked = bytes.first(static_cast<std::size_t>(whole - crcSize));
    if (crc32Of(checked) != readNumber(bytes, checked.size(), crcSize)) {
        return refused(StateRefusal::Corrupt, "is corrupt (its checksum does not match)");
    }
    const auto version = static_cast<std::uint16_t>(readNumber(bytes, 8, 2));
    if (version > saveStateVersion) {
        return refused(StateRefusal::NewerVersion,
                       "was written by a newer Quorvix (format version " + std::to_string(version) +
                           "; this one reads up to " + std::to_string(saveStateVersion) + ")");
    }
    if (version == 0) {
        return refused(StateRefusal::BadValue, "holds a value no machine can have (version 0)");
    }
    SavedState saved;
    std::copy_n(bytes.begin() + 11, saved.rom.size(), saved.rom.begin());
    const auto payload = bytes.subspan(headerSize, static_cast<std::size_t>(payloadSize));
    switch (bytes[10]) {
    case 0:
        saved.kind = MachineKind::Chip8;
        return decodePayload<Chip8State>(payload, std::move(saved),
                                         [](auto& f, auto& s) { visitChip8Fields(f, s); });
    case 1:
        saved.kind = MachineKind::Chip16;
        return decodePayload<Chip16State>(payload, std::move(saved),
                                          [](auto& f, auto& s) { visitChip16Fields(f, s); });
    default:
        return refused(StateRefusal::BadValue, "holds a value no machine can have (machine kind)");
    }
}

StateReading checkStateFits(StateReading reading, MachineKind kind, const RomDigest& rom) {
    if (!reading.saved) {
        return reading;
    }
    if (reading.saved->kind != kind) {
        return refused(StateRefusal::WrongMachine,
                       std::string("is a state of a ") + machineName(reading.saved->kind) +
                           " machine, and a " + machineName(kind) + " machine runs");
    }
    if (reading.saved->rom != rom) {
        return refused(StateRefusal::OtherRom, "is a state of another ROM (SHA-1 " +
                                                   romDigestText(reading.saved->rom) +
                                                   "); load that ROM first");
    }
    return reading;
}
