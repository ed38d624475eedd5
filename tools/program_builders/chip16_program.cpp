#include "tools/program_builders/chip16_program.h"

#include <zlib.h>

namespace {
std::uint8_t registerPair(unsigned x, unsigned y) {
    return static_cast<std::uint8_t>((x & 0xF) | ((y & 0xF) << 4));
}

std::uint8_t conditionNibble(Chip16Condition condition) {
    return static_cast<std::uint8_t>(condition);
}
} // namespace

Chip16Program& Chip16Program::at(std::uint16_t address) {
    position_ = address;
    return *this;
}

Chip16Program& Chip16Program::put(std::uint8_t byte) {
    if (image_.size() <= position_) {
        image_.resize(std::size_t{position_} + 1, 0);
    }
    image_[position_] = byte;
    position_ = static_cast<std::uint16_t>(position_ + 1);
    return *this;
}

Chip16Program& Chip16Program::emit(std::uint8_t opcode, std::uint8_t b1, std::uint16_t immediate) {
    put(opcode);
    put(b1);
    put(static_cast<std::uint8_t>(immediate));
    return put(static_cast<std::uint8_t>(immediate >> 8));
}

Chip16Program& Chip16Program::emitXY(std::uint8_t opcode, unsigned x, unsigned y,
                                     std::uint16_t immediate) {
    return emit(opcode, registerPair(x, y), immediate);
}

Chip16Program& Chip16Program::nop() {
    return emit(0x00, 0, 0);
}
Chip16Program& Chip16Program::cls() {
    return emit(0x01, 0, 0);
}
Chip16Program& Chip16Program::vblnk() {
    return emit(0x02, 0, 0);
}
Chip16Program& Chip16Program::bgc(unsigned colour) {
    return emit(0x03, 0, colour & 0xF);
}

Chip16Program& Chip16Program::spr(unsigned widthBytes, unsigned height) {
    return emit(0x04, 0, static_cast<std::uint16_t>((widthBytes & 0xFF) | ((height & 0xFF) << 8)));
}

Chip16Program& Chip16Program::drw(unsigned x, unsigned y, std::uint16_t address) {
    return emitXY(0x05, x, y, address);
}

Chip16Program& Chip16Program::drwR(unsigned x, unsigned y, unsigned addressRegister) {
    return emitXY(0x06, x, y, addressRegister & 0xF);
}

Chip16Program& Chip16Program::rnd(unsigned x, std::uint16_t maximum) {
    return emitXY(0x07, x, 0, maximum);
}

Chip16Program& Chip16Program::flip(bool horizontal, bool vertical) {
    return emit(0x08, 0,
                static_cast<std::uint16_t>(((horizontal ? 2 : 0) | (vertical ? 1 : 0)) << 8));
}

Chip16Program& Chip16Program::snd0() {
    return emit(0x09, 0, 0);
}
Chip16Program& Chip16Program::snd1(std::uint16_t milliseconds) {
    return emit(0x0A, 0, milliseconds);
}
Chip16Program& Chip16Program::snd2(std::uint16_t milliseconds) {
    return emit(0x0B, 0, milliseconds);
}
Chip16Program& Chip16Program::snd3(std::uint16_t milliseconds) {
    return emit(0x0C, 0, milliseconds);
}

Chip16Program& Chip16Program::jmp(std::uint16_t address) {
    return emit(0x10, 0, address);
}
Chip16Program& Chip16Program::jmc(std::uint16_t address) {
    return emit(0x11, 0, address);
}

Chip16Program& Chip16Program::jx(Chip16Condition condition, std::uint16_t address) {
    return emit(0x12, conditionNibble(condition), address);
}

Chip16Program& Chip16Program::jme(unsigned x, unsigned y, std::uint16_t address) {
    return emitXY(0x13, x, y, address);
}

Chip16Program& Chip16Program::call(std::uint16_t address) {
    return emit(0x14, 0, address);
}
Chip16Program& Chip16Program::ret() {
    return emit(0x15, 0, 0);
}
Chip16Program& Chip16Program::jmpR(unsigned x) {
    return emitXY(0x16, x, 0, 0);
}

Chip16Program& Chip16Program::cx(Chip16Condition condition, std::uint16_t address) {
    return emit(0x17, conditionNibble(condition), address);
}

Chip16Program& Chip16Program::callR(unsigned x) {
    return emitXY(0x18, x, 0, 0);
}

Chip16Program& Chip16Program::ldi(unsigned x, std::uint16_t value) {
    return emitXY(0x20, x, 0, value);
}
Chip16Program& Chip16Program::ldiSp(std::uint16_t value) {
    return emit(0x21, 0, value);
}
Chip16Program& Chip16Program::ldm(unsigned x, std::uint16_t address) {
    return emitXY(0x22, x, 0, address);
}

Chip16Program& Chip16Program::ldmR(unsigned x, unsigned addressRegister) {
    return emitXY(0x23, x, addressRegister, 0);
}

Chip16Program& Chip16Program::mov(unsigned x, unsigned y) {
    return emitXY(0x24, x, y, 0);
}
Chip16Program& Chip16Program::stm(unsigned x, std::uint16_t address) {
    return emitXY(0x30, x, 0, address);
}

Chip16Program& Chip16Program::stmR(unsigned x, unsigned addressRegister) {
    return emitXY(0x31, x, addressRegister, 0);
}

Chip16Program& Chip16Program::addi(unsigned x, std::uint16_t value) {
    return emitXY(0x40, x, 0, value);
}
Chip16Program& Chip16Program::add(unsigned x, unsigned y) {
    return emitXY(0x41, x, y, 0);
}
Chip16Program& Chip16Program::add(unsigned x, unsigned y, unsigned z) {
    return emitXY(0x42, x, y, z & 0xF);
}
Chip16Program& Chip16Program::subi(unsigned x, std::uint16_t value) {
    return emitXY(0x50, x, 0, value);
}
Chip16Program& Chip16Program::sub(unsigned x, unsigned y) {
    return emitXY(0x51, x, y, 0);
}
Chip16Program& Chip16Program::sub(unsigned x, unsigned y, unsigned z) {
    return emitXY(0x52, x, y, z & 0xF);
}
Chip16Program& Chip16Program::cmpi(unsigned x, std::uint16_t value) {
    return emitXY(0x53, x, 0, value);
}
Chip16Program& Chip16Program::cmp(unsigned x, unsigned y) {
    return emitXY(0x54, x, y, 0);
}
Chip16Program& Chip16Program::muli(unsigned x, std::uint16_t value) {
    return emitXY(0x90, x, 0, value);
}
Chip16Program& Chip16Program::mul(unsigned x, unsigned y) {
    return emitXY(0x91, x, y, 0);
}
Chip16Program& Chip16Program::mul(unsigned x, unsigned y, unsigned z) {
    return emitXY(0x92, x, y, z & 0xF);
}
Chip16Program& Chip16Program::divi(unsigned x, std::uint16_t value) {
    return emitXY(0xA0, x, 0, value);
}
Chip16Program& Chip16Program::div(unsigned x, unsigned y) {
    return emitXY(0xA1, x, y, 0);
}
Chip16Program& Chip16Program::div(unsigned x, unsigned y, unsigned z) {
    return emitXY(0xA2, x, y, z & 0xF);
}

Chip16Program& Chip16Program::andi(unsigned x, std::uint16_t value) {
    return emitXY(0x60, x, 0, value);
}
Chip16Program& Chip16Program::and_(unsigned x, unsigned y) {
    return emitXY(0x61, x, y, 0);
}
Chip16Program& Chip16Program::and_(unsigned x, unsigned y, unsigned z) {
    return emitXY(0x62, x, y, z & 0xF);
}
Chip16Program& Chip16Program::tsti(unsigned x, std::uint16_t value) {
    return emitXY(0x63, x, 0, value);
}
Chip16Program& Chip16Program::tst(unsigned x, unsigned y) {
    return emitXY(0x64, x, y, 0);
}
Chip16Program& Chip16Program::ori(unsigned x, std::uint16_t value) {
    return emitXY(0x70, x, 0, value);
}
Chip16Program& Chip16Program::or_(unsigned x, unsigned y) {
    return emitXY(0x71, x, y, 0);
}
Chip16Program& Chip16Program::or_(unsigned x, unsigned y, unsigned z) {
    return emitXY(0x72, x, y, z & 0xF);
}
Chip16Program& Chip16Program::xori(unsigned x, std::uint16_t value) {
    return emitXY(0x80, x, 0, value);
}
Chip16Program& Chip16Program::xor_(unsigned x, unsigned y) {
    return emitXY(0x81, x, y, 0);
}
Chip16Program& Chip16Program::xor_(unsigned x, unsigned y, unsigned z) {
    return emitXY(0x82, x, y, z & 0xF);
}
Chip16Program& Chip16Program::shl(unsigned x, unsigned count) {
    return emitXY(0xB0, x, 0, count & 0xF);
}
Chip16Program& Chip16Program::shr(unsigned x, unsigned count) {
    return emitXY(0xB1, x, 0, count & 0xF);
}
Chip16Program& Chip16Program::sar(unsigned x, unsigned count) {
    return emitXY(0xB2, x, 0, count & 0xF);
}
Chip16Program& Chip16Program::shlR(unsigned x, unsigned countRegister) {
    return emitXY(0xB3, x, countRegister, 0);
}
Chip16Program& Chip16Program::shrR(unsigned x, unsigned countRegister) {
    return emitXY(0xB4, x, countRegister, 0);
}
Chip16Program& Chip16Program::sarR(unsigned x, unsigned countRegister) {
    return emitXY(0xB5, x, countRegister, 0);
}

Chip16Program& Chip16Program::push(unsigned x) {
    return emitXY(0xC0, x, 0, 0);
}
Chip16Program& Chip16Program::pop(unsigned x) {
    return emitXY(0xC1, x, 0, 0);
}
Chip16Program& Chip16Program::pushAll() {
    return emit(0xC2, 0, 0);
}
Chip16Program& Chip16Program::popAll() {
    return emit(0xC3, 0, 0);
}
Chip16Program& Chip16Program::pushF() {
    return emit(0xC4, 0, 0);
}
Chip16Program& Chip16Program::popF() {
    return emit(0xC5, 0, 0);
}

Chip16Program& Chip16Program::raw(std::uint8_t opcode, std::uint8_t b1, std::uint8_t b2,
                                  std::uint8_t b3) {
    return emit(opcode, b1, static_cast<std::uint16_t>(b2 | (b3 << 8)));
}

Chip16Program& Chip16Program::data(std::initializer_list<std::uint8_t> bytes) {
    return data(std::span<const std::uint8_t>(bytes.begin(), bytes.size()));
}

Chip16Program& Chip16Program::data(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        put(byte);
    }
    return *this;
}

Chip16Program& Chip16Program::word(std::uint16_t value) {
    put(static_cast<std::uint8_t>(value));
    return put(static_cast<std::uint8_t>(value >> 8));
}

std::vector<std::uint8_t> withChip16Header(const std::vector<std::uint8_t>& image,
                                           std::uint16_t startAddress) {
    const auto size = static_cast<std::uint32_t>(image.size());
    const auto crc = static_cast<std::uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), image.data(), static_cast<uInt>(image.size())));
    std::vector<std::uint8_t> file = {'C', 'H', '1', '6', 0x00, 0x11};
    for (int i = 0; i < 4; ++i) {
        file.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    }
    file.push_back(static_cast<std::uint8_t>(startAddress));
    file.push_back(static_cast<std::uint8_t>(startAddress >> 8));
    for (int i = 0; i < 4; ++i) {
        file.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
    }
    file.insert(file.end(), image.begin(), image.end());
    return file;
}
