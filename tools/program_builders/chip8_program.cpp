#include "tools/program_builders/chip8_program.h"

#include <stdexcept>

std::uint16_t Chip8Program::here() const {
    return static_cast<std::uint16_t>(origin_ + bytes_.size());
}

Chip8Program::Label Chip8Program::label() {
    labels_.push_back(-1);
    return Label{labels_.size() - 1};
}

Chip8Program& Chip8Program::bind(Label label) {
    labels_.at(label.id) = here();
    return *this;
}

Chip8Program& Chip8Program::op(std::uint16_t opcode) {
    bytes_.push_back(static_cast<std::uint8_t>(opcode >> 8));
    bytes_.push_back(static_cast<std::uint8_t>(opcode));
    return *this;
}

Chip8Program& Chip8Program::data(std::initializer_list<std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes);
    return *this;
}

Chip8Program& Chip8Program::data(const std::vector<std::uint8_t>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

Chip8Program& Chip8Program::scd(std::uint8_t rows) {
    return op(0x00C0 | (rows & 0xF));
}
Chip8Program& Chip8Program::cls() {
    return op(0x00E0);
}
Chip8Program& Chip8Program::ret() {
    return op(0x00EE);
}
Chip8Program& Chip8Program::scr() {
    return op(0x00FB);
}
Chip8Program& Chip8Program::scl() {
    return op(0x00FC);
}
Chip8Program& Chip8Program::exit() {
    return op(0x00FD);
}
Chip8Program& Chip8Program::low() {
    return op(0x00FE);
}
Chip8Program& Chip8Program::high() {
    return op(0x00FF);
}

Chip8Program& Chip8Program::jp(std::uint16_t address) {
    return op(0x1000 | (address & 0xFFF));
}
Chip8Program& Chip8Program::jp(Label target) {
    return withAddress(0x1000, target);
}
Chip8Program& Chip8Program::call(std::uint16_t address) {
    return op(0x2000 | (address & 0xFFF));
}
Chip8Program& Chip8Program::call(Label target) {
    return withAddress(0x2000, target);
}
Chip8Program& Chip8Program::jpV0(std::uint16_t address) {
    return op(0xB000 | (address & 0xFFF));
}

Chip8Program& Chip8Program::se(R x, std::uint8_t kk) {
    return xkk(0x3000, x, kk);
}
Chip8Program& Chip8Program::sne(R x, std::uint8_t kk) {
    return xkk(0x4000, x, kk);
}
Chip8Program& Chip8Program::se(R x, R y) {
    return xy(0x5000, x, y, 0);
}
Chip8Program& Chip8Program::sne(R x, R y) {
    return xy(0x9000, x, y, 0);
}

Chip8Program& Chip8Program::ld(R x, std::uint8_t kk) {
    return xkk(0x6000, x, kk);
}
Chip8Program& Chip8Program::add(R x, std::uint8_t kk) {
    return xkk(0x7000, x, kk);
}
Chip8Program& Chip8Program::ld(R x, R y) {
    return xy(0x8000, x, y, 0x0);
}
Chip8Program& Chip8Program::or_(R x, R y) {
    return xy(0x8000, x, y, 0x1);
}
Chip8Program& Chip8Program::and_(R x, R y) {
    return xy(0x8000, x, y, 0x2);
}
Chip8Program& Chip8Program::xor_(R x, R y) {
    return xy(0x8000, x, y, 0x3);
}
Chip8Program& Chip8Program::add(R x, R y) {
    return xy(0x8000, x, y, 0x4);
}
Chip8Program& Chip8Program::sub(R x, R y) {
    return xy(0x8000, x, y, 0x5);
}
Chip8Program& Chip8Program::shr(R x, R y) {
    return xy(0x8000, x, y, 0x6);
}
Chip8Program& Chip8Program::subn(R x, R y) {
    return xy(0x8000, x, y, 0x7);
}
Chip8Program& Chip8Program::shl(R x, R y) {
    return xy(0x8000, x, y, 0xE);
}

Chip8Program& Chip8Program::ldi(std::uint16_t address) {
    return op(0xA000 | (address & 0xFFF));
}
Chip8Program& Chip8Program::ldi(Label target) {
    return withAddress(0xA000, target);
}
Chip8Program& Chip8Program::rnd(R x, std::uint8_t kk) {
    return xkk(0xC000, x, kk);
}
Chip8Program& Chip8Program::drw(R x, R y, std::uint8_t rows) {
    return xy(0xD000, x, y, rows & 0xF);
}

Chip8Program& Chip8Program::skp(R x) {
    return xkk(0xE000, x, 0x9E);
}
Chip8Program& Chip8Program::sknp(R x) {
    return xkk(0xE000, x, 0xA1);
}

Chip8Program& Chip8Program::getDelay(R x) {
    return xkk(0xF000, x, 0x07);
}
Chip8Program& Chip8Program::waitKey(R x) {
    return xkk(0xF000, x, 0x0A);
}
Chip8Program& Chip8Program::setDelay(R x) {
    return xkk(0xF000, x, 0x15);
}
Chip8Program& Chip8Program::setSound(R x) {
    return xkk(0xF000, x, 0x18);
}
Chip8Program& Chip8Program::addI(R x) {
    return xkk(0xF000, x, 0x1E);
}
Chip8Program& Chip8Program::smallGlyph(R x) {
    return xkk(0xF000, x, 0x29);
}
Chip8Program& Chip8Program::bigGlyph(R x) {
    return xkk(0xF000, x, 0x30);
}
Chip8Program& Chip8Program::bcd(R x) {
    return xkk(0xF000, x, 0x33);
}
Chip8Program& Chip8Program::store(R x) {
    return xkk(0xF000, x, 0x55);
}
Chip8Program& Chip8Program::load(R x) {
    return xkk(0xF000, x, 0x65);
}
Chip8Program& Chip8Program::storeFlags(R x) {
    return xkk(0xF000, x, 0x75);
}
Chip8Program& Chip8Program::loadFlags(R x) {
    return xkk(0xF000, x, 0x85);
}

Chip8Program& Chip8Program::scu(std::uint8_t rows) {
    return op(0x00D0 | (rows & 0xF));
}
Chip8Program& Chip8Program::storeRange(R x, R y) {
    return xy(0x5000, x, y, 0x2);
}
Chip8Program& Chip8Program::loadRange(R x, R y) {
    return xy(0x5000, x, y, 0x3);
}
Chip8Program& Chip8Program::ldiLong(std::uint16_t address) {
    return op(0xF000).op(address);
}
Chip8Program& Chip8Program::ldiLong(Label target) {
    op(0xF000);
    fixups_.push_back(Fixup{bytes_.size(), 0, target.id, 0xFFFF});
    return op(0);
}
Chip8Program& Chip8Program::planes(std::uint8_t mask) {
    return op(static_cast<std::uint16_t>(0xF001 | (mask & 0xF) << 8));
}
Chip8Program& Chip8Program::audio() {
    return op(0xF002);
}
Chip8Program& Chip8Program::pitch(R x) {
    return xkk(0xF000, x, 0x3A);
}

std::vector<std::uint8_t> Chip8Program::bytes() const {
    std::vector<std::uint8_t> result = bytes_;
    for (const Fixup& fixup : fixups_) {
        const std::int32_t address = labels_.at(fixup.label);
        if (address < 0) {
            throw std::logic_error("Chip8Program: a label is used but never bound");
        }
        const std::uint16_t opcode =
            static_cast<std::uint16_t>(fixup.opcodeHigh | (address & fixup.addressMask));
        result[fixup.offset] = static_cast<std::uint8_t>(opcode >> 8);
        result[fixup.offset + 1] = static_cast<std::uint8_t>(opcode);
    }
    return result;
}

Chip8Program& Chip8Program::withAddress(std::uint16_t high, Label target) {
    fixups_.push_back(Fixup{bytes_.size(), high, target.id});
    return op(high);
}

Chip8Program& Chip8Program::xkk(std::uint16_t high, R x, std::uint8_t kk) {
    return op(static_cast<std::uint16_t>(high | (x.index & 0xF) << 8 | kk));
}

Chip8Program& Chip8Program::xy(std::uint16_t high, R x, R y, std::uint8_t low) {
    return op(static_cast<std::uint16_t>(high | (x.index & 0xF) << 8 | (y.index & 0xF) << 4 | low));
}
