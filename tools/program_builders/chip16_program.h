#pragma once
// Builds Chip-16 memory images instruction by instruction, for tests, benchmarks and
// demo ROMs:
//
//     Chip16Program p;
//     p.ldi(0, 0x10).ldi(1, 0x20).spr(2, 4).drw(0, 1, 0x1000).at(0x1000).data({...});
//
// Register operands are register numbers 0-15. Forms that differ from another form of
// the same instruction only by taking a register instead of an immediate carry an R
// suffix (jmpR, callR, ldmR, stmR, drwR, shlR, shrR, sarR).

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

enum class Chip16Condition : std::uint8_t {
    Z = 0x0,
    NZ = 0x1,
    N = 0x2,
    NN = 0x3,
    P = 0x4,
    O = 0x5,
    NO = 0x6,
    A = 0x7,
    AE = 0x8,
    B = 0x9,
    BE = 0xA,
    G = 0xB,
    GE = 0xC,
    L = 0xD,
    LE = 0xE,
    Never = 0xF,
};

class Chip16Program {
  public:
    // Where the next instruction or data byte goes; the image grows as needed.
    Chip16Program& at(std::uint16_t address);
    std::uint16_t here() const { return position_; }

    // Control, graphics and sound.
    Chip16Program& nop();
    Chip16Program& cls();
    Chip16Program& vblnk();
    Chip16Program& bgc(unsigned colour);
    Chip16Program& spr(unsigned widthBytes, unsigned height);
    Chip16Program& drw(unsigned x, unsigned y, std::uint16_t address);
    Chip16Program& drwR(unsigned x, unsigned y, unsigned addressRegister);
    Chip16Program& rnd(unsigned x, std::uint16_t maximum);
    Chip16Program& flip(bool horizontal, bool vertical);
    Chip16Program& snd0();
    Chip16Program& snd1(std::uint16_t milliseconds);
    Chip16Program& snd2(std::uint16_t milliseconds);
    Chip16Program& snd3(std::uint16_t milliseconds);

    // Jumps and calls.
    Chip16Program& jmp(std::uint16_t address);
    Chip16Program& jmc(std::uint16_t address);
    Chip16Program& jx(Chip16Condition condition, std::uint16_t address);
    Chip16Program& jme(unsigned x, unsigned y, std::uint16_t address);
    Chip16Program& call(std::uint16_t address);
    Chip16Program& ret();
    Chip16Program& jmpR(unsigned x);
    Chip16Program& cx(Chip16Condition condition, std::uint16_t address);
    Chip16Program& callR(unsigned x);

    // Loads and stores.
    Chip16Program& ldi(unsigned x, std::uint16_t value);
    Chip16Program& ldiSp(std::uint16_t value);
    Chip16Program& ldm(unsigned x, std::uint16_t address);
    Chip16Program& ldmR(unsigned x, unsigned addressRegister);
    Chip16Program& mov(unsigned x, unsigned y);
    Chip16Program& stm(unsigned x, std::uint16_t address);
    Chip16Program& stmR(unsigned x, unsigned addressRegister);

    // Arithmetic: the two-register forms write R[x], the three-register forms R[z].
    Chip16Program& addi(unsigned x, std::uint16_t value);
    Chip16Program& add(unsigned x, unsigned y);
    Chip16Program& add(unsigned x, unsigned y, unsigned z);
    Chip16Program& subi(unsigned x, std::uint16_t value);
    Chip16Program& sub(unsigned x, unsigned y);
    Chip16Program& sub(unsigned x, unsigned y, unsigned z);
    Chip16Program& cmpi(unsigned x, std::uint16_t value);
    Chip16Program& cmp(unsigned x, unsigned y);
    Chip16Program& muli(unsigned x, std::uint16_t value);
    Chip16Program& mul(unsigned x, unsigned y);
    Chip16Program& mul(unsigned x, unsigned y, unsigned z);
    Chip16Program& divi(unsigned x, std::uint16_t value);
    Chip16Program& div(unsigned x, unsigned y);
    Chip16Program& div(unsigned x, unsigned y, unsigned z);

    // Logic and shifts.
    Chip16Program& andi(unsigned x, std::uint16_t value);
    Chip16Program& and_(unsigned x, unsigned y);
    Chip16Program& and_(unsigned x, unsigned y, unsigned z);
    Chip16Program& tsti(unsigned x, std::uint16_t value);
    Chip16Program& tst(unsigned x, unsigned y);
    Chip16Program& ori(unsigned x, std::uint16_t value);
    Chip16Program& or_(unsigned x, unsigned y);
    Chip16Program& or_(unsigned x, unsigned y, unsigned z);
    Chip16Program& xori(unsigned x, std::uint16_t value);
    Chip16Program& xor_(unsigned x, unsigned y);
    Chip16Program& xor_(unsigned x, unsigned y, unsigned z);
    Chip16Program& shl(unsigned x, unsigned count);
    Chip16Program& shr(unsigned x, unsigned count);
    Chip16Program& sar(unsigned x, unsigned count);
    Chip16Program& shlR(unsigned x, unsigned countRegister);
    Chip16Program& shrR(unsigned x, unsigned countRegister);
    Chip16Program& sarR(unsigned x, unsigned countRegister);

    // Stack.
    Chip16Program& push(unsigned x);
    Chip16Program& pop(unsigned x);
    Chip16Program& pushAll();
    Chip16Program& popAll();
    Chip16Program& pushF();
    Chip16Program& popF();

    // Any instruction word, e.g. an opcode this machine does not know.
    Chip16Program& raw(std::uint8_t opcode, std::uint8_t b1 = 0, std::uint8_t b2 = 0,
                       std::uint8_t b3 = 0);
    Chip16Program& data(std::initializer_list<std::uint8_t> bytes);
    Chip16Program& data(std::span<const std::uint8_t> bytes);
    Chip16Program& word(std::uint16_t value);

    // The memory image from address 0 to the highest byte written.
    const std::vector<std::uint8_t>& image() const { return image_; }

  private:
    Chip16Program& emit(std::uint8_t opcode, std::uint8_t b1, std::uint16_t immediate);
    Chip16Program& emitXY(std::uint8_t opcode, unsigned x, unsigned y, std::uint16_t immediate);
    Chip16Program& put(std::uint8_t byte);

    std::vector<std::uint8_t> image_;
    std::uint16_t position_ = 0;
};

// A ROM file of `image` behind the 16-byte "CH16" header (version 1.1) with the image's
// size and CRC-32.
std::vector<std::uint8_t> withChip16Header(const std::vector<std::uint8_t>& image,
                                           std::uint16_t startAddress = 0);
