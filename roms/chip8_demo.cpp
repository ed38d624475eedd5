#include "roms/demo_programs.h"
#include "roms/title_letters.h"
#include "tools/program_builders/chip8_program.h"

namespace {
using namespace chip8reg;

// Register use: V0 V1 ball position, V2 V3 its steps (1 or -1), V4 V5 ship position,
// V6 scratch, V7 key being scanned, VA digit shown, VB VC where it is shown.
constexpr std::uint8_t minus1 = 0xFF;
constexpr std::uint8_t ballTop = 12, ballBottom = 48, ballRight = 112;
} // namespace

std::vector<std::uint8_t> chip8DemoRom() {
    Chip8Program p;
    std::vector<Chip8Program::Label> letters;
    for (std::size_t i = 0; i < titleLetters.size(); ++i) {
        letters.push_back(p.label());
    }
    const auto ball = p.label(), ship = p.label();
    const auto loop = p.label(), wait = p.label(), scan = p.label(), found = p.label(),
               newDigit = p.label();

    p.high().cls();
    for (std::size_t i = 0; i < letters.size(); ++i) {
        p.ld(V0, static_cast<std::uint8_t>(36 + 8 * i)).ld(V1, 2).ldi(letters[i]).drw(V0, V1, 7);
    }
    p.ld(V0, 56).ld(V1, 24).ld(V2, 1).ld(V3, 1).ld(V4, 60).ld(V5, 54);
    p.ld(VA, 0).ld(VB, 4).ld(VC, 2);
    p.ldi(ball).drw(V0, V1, 0);
    p.ldi(ship).drw(V4, V5, 6);
    p.bigGlyph(VA).drw(VB, VC, 10);

    // One pass per tick of the 60 Hz delay timer.
    p.bind(loop).ld(V6, 1).setDelay(V6);
    p.bind(wait).getDelay(V6).se(V6, 0).jp(wait);

    // The ball: erase, step, turn at the edges, draw.
    p.ldi(ball).drw(V0, V1, 0).add(V0, V2).add(V1, V3);
    p.sne(V0, 0).ld(V2, 1).sne(V0, ballRight).ld(V2, minus1);
    p.sne(V1, ballTop).ld(V3, 1).sne(V1, ballBottom).ld(V3, minus1);
    p.drw(V0, V1, 0);

    // The ship: keypad 5 up, 8 down, 7 left, 9 right (W S A D), wrapping round.
    p.ldi(ship).drw(V4, V5, 6);
    p.ld(V6, 5).sknp(V6).add(V5, minus1);
    p.ld(V6, 8).sknp(V6).add(V5, 1);
    p.ld(V6, 7).sknp(V6).add(V4, minus1);
    p.ld(V6, 9).sknp(V6).add(V4, 1);
    p.ld(V6, 127).and_(V4, V6).ld(V6, 63).and_(V5, V6);
    p.drw(V4, V5, 6);

    // The lowest keypad key held, if any, becomes the digit in the corner.
    p.ld(V7, 0);
    p.bind(scan).sknp(V7).jp(found).add(V7, 1).se(V7, 16).jp(scan).jp(loop);
    p.bind(found).se(V7, VA).jp(newDigit).jp(loop);
    p.bind(newDigit).bigGlyph(VA).drw(VB, VC, 10).ld(VA, V7).bigGlyph(VA).drw(VB, VC, 10);
    p.jp(loop);

    for (std::size_t i = 0; i < letters.size(); ++i) {
        p.bind(letters[i]).data(letterSprite(titleLetters[i]));
    }
    p.bind(ball).data({0x07, 0xE0, 0x1F, 0xF8, 0x3F, 0xFC, 0x7F, 0xFE, 0x73, 0xFE, 0xF3,
                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFE,
                       0x7F, 0xFE, 0x3F, 0xFC, 0x1F, 0xF8, 0x07, 0xE0, 0x00, 0x00});
    p.bind(ship).data({0x18, 0x3C, 0x7E, 0xFF, 0xDB, 0x81});
    return p.bytes();
}
