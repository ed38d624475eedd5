#include "roms/demo_programs.h"
#include "roms/title_letters.h"
#include "tools/program_builders/chip16_program.h"

#include <map>
#include <string>

namespace {
using C = Chip16Condition;

// Every sprite is 16 x 16 pixels: 8 bytes of two pixels per row.
constexpr std::uint16_t spriteBytes = 8 * 16;
constexpr std::uint16_t gemTable = 0x2000; // per gem: x, y, dx, dy, sprite address
constexpr std::uint16_t gemRecord = 10;
constexpr std::uint16_t spriteData = 0x3000;
constexpr std::uint16_t shipSprite = spriteData;
constexpr std::uint16_t gemSprites = shipSprite + spriteBytes;
constexpr std::uint16_t letterSprites = gemSprites + 3 * spriteBytes;
constexpr std::uint16_t shipHomeX = 152, shipHomeY = 200;
constexpr std::uint16_t rightEdge = 320 - 16, bottomEdge = 240 - 16, gemTop = 32;

// Controller bits at 0xFFF0.
constexpr std::uint16_t up = 0x01, down = 0x02, left = 0x04, right = 0x08, start = 0x20,
                        buttonA = 0x40, buttonB = 0x80;

// Jump targets by name. The program is laid out twice: the first time records where
// each name lands, the second uses those addresses.
class Labels {
  public:
    void mark(const std::string& name, std::uint16_t address) { addresses_[name] = address; }
    std::uint16_t operator[](const std::string& name) const {
        const auto found = addresses_.find(name);
        return found != addresses_.end() ? found->second : 0;
    }

  private:
    std::map<std::string, std::uint16_t> addresses_;
};

// A 16 x 16 sprite from rows of colour digits ('.' is transparent).
std::vector<std::uint8_t> sprite(const std::array<const char*, 16>& rows) {
    std::vector<std::uint8_t> bytes;
    for (const char* row : rows) {
        for (int column = 0; column < 16; column += 2) {
            auto nibble = [](char c) {
                return c == '.' ? 0 : std::stoi(std::string(1, c), nullptr, 16);
            };
            bytes.push_back(
                static_cast<std::uint8_t>(nibble(row[column]) << 4 | nibble(row[column + 1])));
        }
    }
    return bytes;
}

std::vector<std::uint8_t> gem(char edge, char face) {
    std::array<std::string, 16> rows = {
        "......eeee......", ".....eFFffe.....", "....eFFfffFe....", "...eFfffffffe...",
        "..eFfffffffffe..", ".eFfffffffffffe.", "eFfffffffffffffe", "efffffffffffffFe",
        "efffffffffffffFe", "effffffffffffFFe", ".effffffffffFFe.", "..efffffffffFe..",
        "...efffffffFe...", "....efffffFe....", ".....efffFe.....", "......eeee......"};
    std::array<const char*, 16> pointers{};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (char& c : rows[i]) {
            c = c == 'e' ? edge : c == 'f' ? face : c;
        }
        pointers[i] = rows[i].c_str();
    }
    return sprite(pointers);
}

// A title letter at twice its size, in light blue with a dark shadow.
std::vector<std::uint8_t> letter(const LetterRows& rows) {
    std::array<std::string, 16> lines;
    lines.fill(std::string(16, '.'));
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 5; ++x) {
            if (rows[static_cast<std::size_t>(y)][x] != '#') {
                continue;
            }
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    lines[static_cast<std::size_t>(2 * y + dy + 1)][2 * x + dx + 3] = '1';
                    lines[static_cast<std::size_t>(2 * y + dy)][2 * x + dx + 2] = 'D';
                }
            }
        }
    }
    std::array<const char*, 16> pointers{};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        pointers[i] = lines[i].c_str();
    }
    return sprite(pointers);
}

// Skips to `label` unless the controller bit is held (rF holds the controller).
void unlessHeld(Chip16Program& p, const Labels& at, std::uint16_t bit, const std::string& label) {
    p.tsti(0xF, bit).jx(C::Z, at[label]);
}

void layOut(Chip16Program& p, Labels& at) {
    auto mark = [&](const std::string& name) { at.mark(name, p.here()); };

    p.at(0).spr(8, 16).ldi(0, shipHomeX).ldi(1, shipHomeY);
    mark("loop");
    p.vblnk().cls().ldm(0xF, 0xFFF0).andi(0xF, 0xFF);

    // B held: another background.
    unlessHeld(p, at, buttonB, "normalBackground");
    p.bgc(0xC).jmp(at["backgroundDone"]);
    mark("normalBackground");
    p.bgc(0xB);
    mark("backgroundDone");

    // The title.
    for (std::uint16_t i = 0; i < titleLetters.size(); ++i) {
        p.ldi(2, static_cast<std::uint16_t>(104 + 16 * i)).ldi(3, 8);
        p.drw(2, 3, static_cast<std::uint16_t>(letterSprites + i * spriteBytes));
    }

    // Steering, kept on the screen; Start brings the ship home.
    unlessHeld(p, at, up, "noUp");
    p.subi(1, 2);
    mark("noUp");
    unlessHeld(p, at, down, "noDown");
    p.addi(1, 2);
    mark("noDown");
    unlessHeld(p, at, left, "noLeft");
    p.subi(0, 2);
    mark("noLeft");
    unlessHeld(p, at, right, "noRight");
    p.addi(0, 2);
    mark("noRight");
    unlessHeld(p, at, start, "noStart");
    p.ldi(0, shipHomeX).ldi(1, shipHomeY);
    mark("noStart");
    p.cmpi(0, 0).jx(C::GE, at["xAboveZero"]).ldi(0, 0);
    mark("xAboveZero");
    p.cmpi(0, rightEdge).jx(C::LE, at["xBelowEdge"]).ldi(0, rightEdge);
    mark("xBelowEdge");
    p.cmpi(1, 0).jx(C::GE, at["yAboveZero"]).ldi(1, 0);
    mark("yAboveZero");
    p.cmpi(1, bottomEdge).jx(C::LE, at["yBelowEdge"]).ldi(1, bottomEdge);
    mark("yBelowEdge");

    for (std::uint16_t i = 0; i < 3; ++i) {
        p.ldi(0xE, static_cast<std::uint16_t>(gemTable + i * gemRecord)).call(at["moveGem"]);
    }

    // The ship, mirrored while A is held.
    unlessHeld(p, at, buttonA, "notMirrored");
    p.flip(true, false);
    mark("notMirrored");
    p.drw(0, 1, shipSprite).flip(false, false).jmp(at["loop"]);

    // moveGem: rE points at a gem's record; steps it, bounces it off the edges of its
    // area and draws it. Uses r2-r7 and rD.
    mark("moveGem");
    p.ldmR(2, 0xE).mov(0xD, 0xE).addi(0xD, 2).ldmR(3, 0xD).addi(0xD, 2).ldmR(4, 0xD);
    p.addi(0xD, 2).ldmR(5, 0xD).addi(0xD, 2).ldmR(6, 0xD);
    p.add(2, 4).add(3, 5);
    const struct {
        unsigned position, step;
        std::uint16_t low, high;
        const char* name;
    } axes[] = {{2, 4, 0, rightEdge, "x"}, {3, 5, gemTop, bottomEdge, "y"}};
    for (const auto& axis : axes) {
        const std::string name = axis.name;
        // At or past the low edge: step = |step|; at or past the high edge: -|step|.
        p.cmpi(axis.position, axis.low).jx(C::G, at[name + "NotLow"]);
        p.ldi(axis.position, axis.low).tsti(axis.step, 0x8000).jx(C::Z, at[name + "Done"]);
        p.jmp(at[name + "Negate"]);
        mark(name + "NotLow");
        p.cmpi(axis.position, axis.high).jx(C::L, at[name + "Done"]);
        p.ldi(axis.position, axis.high).tsti(axis.step, 0x8000).jx(C::NZ, at[name + "Done"]);
        mark(name + "Negate");
        p.ldi(7, 0).sub(7, axis.step).mov(axis.step, 7);
        mark(name + "Done");
    }
    p.stmR(2, 0xE).mov(0xD, 0xE).addi(0xD, 2).stmR(3, 0xD).addi(0xD, 2).stmR(4, 0xD);
    p.addi(0xD, 2).stmR(5, 0xD);
    p.drwR(2, 3, 6).ret();

    // Gems: start position, step, sprite.
    const std::uint16_t gems[3][4] = {{40, 60, 2, 1}, {200, 120, 0xFFFF, 2}, {120, 180, 3, 0xFFFE}};
    p.at(gemTable);
    for (std::uint16_t i = 0; i < 3; ++i) {
        for (const std::uint16_t value : gems[i]) {
            p.word(value);
        }
        p.word(static_cast<std::uint16_t>(gemSprites + i * spriteBytes));
    }

    p.at(shipSprite)
        .data(sprite(
            {".......FF.......", "......FDDF......", "......FDDF......", ".....FDDDDF.....",
             ".....FDEEDF.....", "....FDDEEDDF....", "...FDDDDDDDDF...", "..FDDDDDDDDDDF..",
             ".FDDDCDDDDCDDDF.", "FDDDCCDDDDCCDDDF", "FDDCCCDDDDCCCDDF", "FFFF.FDDDDF.FFFF",
             ".....F3773F.....", "......3883......", ".......33.......", "................"}));
    p.at(gemSprites).data(gem('3', '4')).data(gem('9', 'A')).data(gem('7', '8'));
    p.at(letterSprites);
    for (const LetterRows& rows : titleLetters) {
        p.data(letter(rows));
    }
}
} // namespace

std::vector<std::uint8_t> chip16DemoRom() {
    Labels at;
    Chip16Program first;
    layOut(first, at);
    Chip16Program program;
    layOut(program, at);
    return withChip16Header(program.image());
}
