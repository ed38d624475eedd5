#include "roms/demo_programs.h"
#include "roms/title_letters.h"
#include "tools/program_builders/chip8_program.h"

namespace {
using namespace chip8reg;

// Register use: V0 V1 ball position (or drawing position while the picture is built),
// V2 V3 the ball's steps (1 or -1), V6 scratch.
constexpr std::uint8_t minus1 = 0xFF;
constexpr std::uint8_t ballLeft = 72, ballRight = 120, ballTop = 12, ballBottom = 44;
} // namespace

std::vector<std::uint8_t> xoChipDemoRom() {
    Chip8Program p;
    std::vector<Chip8Program::Label> letters;
    for (std::size_t i = 0; i < titleLetters.size(); ++i) {
        letters.push_back(p.label());
    }
    const auto block = p.label(), ball = p.label();
    const auto band = p.label(), loop = p.label(), wait = p.label();

    p.high().planes(3).cls().planes(1);
    for (std::size_t i = 0; i < letters.size(); ++i) {
        p.ld(V0, static_cast<std::uint8_t>(36 + 8 * i)).ld(V1, 2).ldi(letters[i]).drw(V0, V1, 7);
    }
    // A 32 x 16 block in plane 1 and one in plane 2 that overlap in a 16 x 8 corner: dark,
    // plane 1, plane 2 and both side by side.
    p.ldi(block).ld(V0, 16).ld(V1, 16).drw(V0, V1, 0).ld(V0, 32).drw(V0, V1, 0);
    p.planes(2).ld(V1, 24).drw(V0, V1, 0).ld(V0, 48).drw(V0, V1, 0);
    // A plane-2 band along the bottom, 4 rows high.
    p.ld(V0, 0).ld(V1, 52).bind(band).drw(V0, V1, 4).add(V0, 8).se(V0, 128).jp(band);

    // The ball, in both planes: a plane-1 core inside a plane-2 ring.
    p.planes(3).ld(V0, 80).ld(V1, 20).ld(V2, 1).ld(V3, 1);
    p.ldiLong(ball).drw(V0, V1, 8);

    // One step per tick of the 60 Hz delay timer: erase, move, turn at the edges, draw.
    p.bind(loop).ld(V6, 1).setDelay(V6);
    p.bind(wait).getDelay(V6).se(V6, 0).jp(wait);
    p.ldiLong(ball).drw(V0, V1, 8).add(V0, V2).add(V1, V3);
    p.sne(V0, ballLeft).ld(V2, 1).sne(V0, ballRight).ld(V2, minus1);
    p.sne(V1, ballTop).ld(V3, 1).sne(V1, ballBottom).ld(V3, minus1);
    p.drw(V0, V1, 8).jp(loop);

    for (std::size_t i = 0; i < letters.size(); ++i) {
        p.bind(letters[i]).data(letterSprite(titleLetters[i]));
    }
    p.bind(block).data(std::vector<std::uint8_t>(32, 0xFF));
    p.bind(ball).data({0x00, 0x00, 0x18, 0x3C, 0x3C, 0x18, 0x00, 0x00,   // plane 1
                       0x3C, 0x7E, 0xE7, 0xC3, 0xC3, 0xE7, 0x7E, 0x3C}); // plane 2
    return p.bytes();
}
