#pragma once
// Builds CHIP-8 / SCHIP programs in memory, one encoder per instruction, for tests,
// tools and the demo ROMs. Instructions are laid out from 0x200 on; labels name
// addresses that may be bound after they are used.
//
//     using namespace chip8reg;
//     Chip8Program p;
//     const auto sprite = p.label();
//     const auto loop = p.label();
//     p.ld(V0, 0).ldi(sprite).bind(loop).drw(V0, V1, 1).add(V0, 1).jp(loop);
//     p.bind(sprite).data({0xF0});
//     std::vector<std::uint8_t> rom = p.bytes();

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

struct Chip8Register {
    std::uint8_t index;
};

namespace chip8reg {
inline constexpr Chip8Register V0{0x0}, V1{0x1}, V2{0x2}, V3{0x3}, V4{0x4}, V5{0x5}, V6{0x6},
    V7{0x7}, V8{0x8}, V9{0x9}, VA{0xA}, VB{0xB}, VC{0xC}, VD{0xD}, VE{0xE}, VF{0xF};
} // namespace chip8reg

class Chip8Program {
  public:
    using R = Chip8Register;

    struct Label {
        std::size_t id;
    };

    explicit Chip8Program(std::uint16_t origin = 0x200) : origin_(origin) {}

    // The address the next instruction or byte goes to.
    std::uint16_t here() const;
    Label label();
    // Binds the label to here().
    Chip8Program& bind(Label label);

    // Raw data and opcodes.
    Chip8Program& op(std::uint16_t opcode);
    Chip8Program& data(std::initializer_list<std::uint8_t> bytes);
    Chip8Program& data(const std::vector<std::uint8_t>& bytes);

    // 00Cn, 00E0, 00EE, 00FB, 00FC, 00FD, 00FE, 00FF
    Chip8Program& scd(std::uint8_t rows);
    Chip8Program& cls();
    Chip8Program& ret();
    Chip8Program& scr();
    Chip8Program& scl();
    Chip8Program& exit();
    Chip8Program& low();
    Chip8Program& high();

    // 1nnn, 2nnn, Bnnn
    Chip8Program& jp(std::uint16_t address);
    Chip8Program& jp(Label target);
    Chip8Program& call(std::uint16_t address);
    Chip8Program& call(Label target);
    Chip8Program& jpV0(std::uint16_t address);

    // 3xkk, 4xkk, 5xy0, 9xy0
    Chip8Program& se(R x, std::uint8_t kk);
    Chip8Program& sne(R x, std::uint8_t kk);
    Chip8Program& se(R x, R y);
    Chip8Program& sne(R x, R y);

    // 6xkk, 7xkk, 8xy0-8xyE
    Chip8Program& ld(R x, std::uint8_t kk);
    Chip8Program& add(R x, std::uint8_t kk);
    Chip8Program& ld(R x, R y);
    Chip8Program& or_(R x, R y);
    Chip8Program& and_(R x, R y);
    Chip8Program& xor_(R x, R y);
    Chip8Program& add(R x, R y);
    Chip8Program& sub(R x, R y);
    Chip8Program& shr(R x, R y);
    Chip8Program& subn(R x, R y);
    Chip8Program& shl(R x, R y);

    // Annn, Cxkk, Dxyn
    Chip8Program& ldi(std::uint16_t address);
    Chip8Program& ldi(Label target);
    Chip8Program& rnd(R x, std::uint8_t kk);
    Chip8Program& drw(R x, R y, std::uint8_t rows);

    // Ex9E, ExA1
    Chip8Program& skp(R x);
    Chip8Program& sknp(R x);

    // Fx07, Fx0A, Fx15, Fx18, Fx1E, Fx29, Fx30, Fx33, Fx55, Fx65, Fx75, Fx85
    Chip8Program& getDelay(R x);
    Chip8Program& waitKey(R x);
    Chip8Program& setDelay(R x);
    Chip8Program& setSound(R x);
    Chip8Program& addI(R x);
    Chip8Program& smallGlyph(R x);
    Chip8Program& bigGlyph(R x);
    Chip8Program& bcd(R x);
    Chip8Program& store(R x);
    Chip8Program& load(R x);
    Chip8Program& storeFlags(R x);
    Chip8Program& loadFlags(R x);

    // XO-CHIP: 00Dn, 5xy2, 5xy3, F000 nnnn (4 bytes), Fn01, F002, Fx3A
    Chip8Program& scu(std::uint8_t rows);
    Chip8Program& storeRange(R x, R y);
    Chip8Program& loadRange(R x, R y);
    Chip8Program& ldiLong(std::uint16_t address);
    Chip8Program& ldiLong(Label target);
    Chip8Program& planes(std::uint8_t mask);
    Chip8Program& audio();
    Chip8Program& pitch(R x);

    // The program as ROM bytes (to be loaded at the origin); every label used must be
    // bound.
    std::vector<std::uint8_t> bytes() const;

  private:
    struct Fixup {
        std::size_t offset;
        std::uint16_t opcodeHigh;
        std::size_t label;
        // The address bits the word holds: 12, or all 16 after a long load.
        std::uint16_t addressMask = 0x0FFF;
    };

    Chip8Program& withAddress(std::uint16_t high, Label target);
    Chip8Program& xkk(std::uint16_t high, R x, std::uint8_t kk);
    Chip8Program& xy(std::uint16_t high, R x, R y, std::uint8_t low);

    std::uint16_t origin_;
    std::vector<std::uint8_t> bytes_;
    std::vector<std::int32_t> labels_;
    std::vector<Fixup> fixups_;
};
