// Writes a starting corpus for every fuzz target: small programs that reach most
// instructions of each machine, files with and without the "CH16" header, and any ROM
// files named on the command line (usually the external test ROMs).
//
//     quorvix-fuzz-seeds <corpus folder> [ROM files...]

#include "app/chip16_runtime.h"
#include "app/chip8_runtime.h"
#include "app/save_state.h"
#include "chip16/chip16_machine.h"
#include "tools/program_builders/chip16_program.h"
#include "tools/program_builders/chip8_program.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void writeSeed(const fs::path& folder, const std::string& target, const std::string& name,
               const Bytes& bytes) {
    fs::create_directories(folder / target);
    std::ofstream(folder / target / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

Bytes joined(Bytes front, const Bytes& back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

// Keys 1 and 5 held, then key 0xF; console open; 4 ms per batch; the machine's own rules
// (the last byte picks the variant: 4 is XO-CHIP).
const Bytes chip8Controls = {0x22, 0x00, 0x00, 0x80, 0x21, 0x00};
const Bytes xoChipControls = {0x22, 0x00, 0x00, 0x80, 0x21, 0x04};
// Up and Select, then nothing; console open, a display; the frame boundary early in the run;
// start 0.
const Bytes chip16Controls = {0x41, 0x00, 0x03, 0xF0, 0x00, 0x00};

Bytes chip8LowResProgram() {
    using namespace chip8reg;
    Chip8Program p;
    const auto sprite = p.label();
    const auto loop = p.label();
    const auto helper = p.label();
    p.cls().ld(V0, 60).ld(V1, 30).ld(V5, 5).setDelay(V5).setSound(V5);
    p.bind(loop).ldi(sprite).drw(V0, V1, 4).drw(V0, V1, 0).add(V0, 3).add(V1, 1);
    p.ld(V2, 1).skp(V2).sknp(V2).rnd(V3, 0x0F).smallGlyph(V3).drw(V3, V3, 5);
    p.getDelay(V4).se(V4, 0).call(helper).ld(V6, V0).or_(V6, V1).and_(V6, V2).xor_(V6, V3);
    p.add(V6, V1).sub(V6, V2).shr(V6, V6).subn(V6, V1).shl(V6, V6).sne(V6, V1);
    p.addI(V6).bcd(V0).store(V3).load(V3).jpV0(0x202).jp(loop);
    p.bind(helper).ret();
    p.bind(sprite).data({0xF0, 0x90, 0x90, 0xF0});
    return p.bytes();
}

Bytes chip8HighResProgram() {
    using namespace chip8reg;
    Chip8Program p;
    const auto sprite = p.label();
    const auto loop = p.label();
    p.high().ld(V0, 120).ld(V1, 60).ldi(sprite);
    p.bind(loop).drw(V0, V1, 0).drw(V0, V1, 3).scd(3).scr().scl().bigGlyph(V0);
    p.storeFlags(V7).loadFlags(V7).add(V0, 7).waitKey(V8).low().drw(V0, V1, 0).high().jp(loop);
    p.bind(sprite).data({0xFF, 0x81, 0x81, 0x81, 0xFF, 0x00, 0xAA, 0x55, 0xFF, 0x81, 0x81,
                         0x81, 0xFF, 0x00, 0xAA, 0x55, 0xFF, 0x81, 0x81, 0x81, 0xFF, 0x00,
                         0xAA, 0x55, 0xFF, 0x81, 0x81, 0x81, 0xFF, 0x00, 0xAA, 0x55});
    return p.bytes();
}

// Both planes, the long load, register ranges, the scroll up and the audio pattern.
Bytes xoChipProgram() {
    using namespace chip8reg;
    Chip8Program p;
    const auto sprite = p.label();
    const auto loop = p.label();
    p.high().ld(V0, 10).ld(V1, 20).ld(V2, 30).ldi(0x300).storeRange(V0, V2).loadRange(V2, V0);
    p.bind(loop).planes(3).ldiLong(sprite).drw(V0, V1, 2).planes(2).drw(V1, V0, 0).scu(3);
    p.planes(1).scd(2).scl().add(V0, 5).pitch(V0).ldiLong(sprite).audio().jp(loop);
    p.bind(sprite).data({0xF0, 0x90, 0x0F, 0x09});
    return p.bytes();
}

Bytes chip8ExitProgram() {
    using namespace chip8reg;
    Chip8Program p;
    p.ld(V0, 1).smallGlyph(V0).drw(V0, V0, 5).exit();
    return p.bytes();
}

Bytes chip16DrawingProgram() {
    Chip16Program p;
    p.bgc(3).spr(4, 8).ldi(0, 300).ldi(1, 0xFFF8).ldi(2, 0x0800);
    p.at(0x20).drw(0, 1, 0x0800).drwR(1, 0, 2).flip(true, false).drw(0, 0, 0x0800);
    p.flip(true, true).addi(0, 7).addi(1, 3).rnd(5, 320).rnd(6, 240).drw(5, 6, 0x0800);
    p.ldm(7, chip16ControllerAddress).tsti(7, 1).jx(Chip16Condition::Z, 0x70).cls();
    p.at(0x70).vblnk().snd1(100).snd0().jmp(0x20);
    p.at(0x0800);
    for (int i = 0; i < 32; ++i) {
        p.data({static_cast<std::uint8_t>(0x11 * (i % 16))});
    }
    return p.image();
}

Bytes chip16ArithmeticProgram() {
    Chip16Program p;
    p.ldi(0, 0x7FFF).ldi(1, 1).ldi(2, 0).ldiSp(0xFFF8);
    p.at(0x10).add(0, 1).sub(2, 1, 3).muli(3, 0x0101).div(3, 2).divi(4, 0).mul(0, 1, 5);
    p.cmpi(0, 0x8000).jx(Chip16Condition::O, 0x40).shlR(5, 1).sarR(5, 1).shrR(5, 1);
    p.at(0x40).pushAll().pushF().popF().popAll().push(0).pop(8).stm(8, 0xFFFF).ldm(9, 0xFFFF);
    p.stmR(9, 0).ldmR(10, 1).jme(1, 1, 0x80).raw(0xEE, 1, 2, 3);
    p.at(0x80).callR(11).cx(Chip16Condition::Never, 0).jmc(0x10).jmpR(12);
    return p.image();
}

void writeBuiltSeeds(const fs::path& folder) {
    const Bytes chip8Programs[] = {chip8LowResProgram(), chip8HighResProgram(), chip8ExitProgram()};
    int n = 0;
    for (const Bytes& program : chip8Programs) {
        const std::string name = "built-" + std::to_string(n++);
        writeSeed(folder, "chip8_interpreter", name, joined(chip8Controls, program));
        writeSeed(folder, "chip8_loader", name, program);
    }
    writeSeed(folder, "chip8_interpreter", "built-xochip", joined(xoChipControls, xoChipProgram()));
    const Bytes chip16Programs[] = {chip16DrawingProgram(), chip16ArithmeticProgram()};
    n = 0;
    for (const Bytes& program : chip16Programs) {
        const std::string name = "built-" + std::to_string(n++);
        writeSeed(folder, "chip16_executor", name, joined(chip16Controls, program));
        writeSeed(folder, "chip16_loader", name, program);
        writeSeed(folder, "chip16_loader", name + "-header", withChip16Header(program, 0x20));
        Bytes stale = withChip16Header(program);
        stale[12] ^= 0xFF;
        stale[6] ^= 0x01;
        writeSeed(folder, "chip16_loader", name + "-stale-header", stale);
    }
}

// States of the built programs after a few frames, under each CHIP-8 rule set: the start
// of each file for the target to complete and check (control 7, with 8 for XO-CHIP),
// and one whole file as it is.
void writeStateSeeds(const fs::path& folder) {
    const auto write = [&folder](const std::string& name, std::uint8_t control, Bytes file) {
        file.resize(std::min<std::size_t>(file.size(), 1000));
        writeSeed(folder, "save_state", name, joined({control}, file));
    };
    for (const Chip8Variant variant : chip8Variants) {
        Chip8Rules rules = chip8RulesFor(variant);
        rules.instructionsPerTick = rules.instructionsPerTick != 0 ? rules.instructionsPerTick : 30;
        Chip8Runtime runtime(rules);
        runtime.load(variant == Chip8Variant::XoChip ? xoChipProgram() : chip8HighResProgram());
        for (int frame = 0; frame < 5; ++frame) {
            runtime.stepFrame();
        }
        const Bytes file = encodeSaveState(RomDigest{}, runtime.takeState());
        const bool xo = variant == Chip8Variant::XoChip;
        write("state-" + std::string(chip8VariantOption(variant)), xo ? 0x0F : 0x07, file);
        if (variant == Chip8Variant::Chip8) {
            writeSeed(folder, "save_state", "state-whole", joined({0x00}, file));
        }
    }
    Chip16Runtime chip16(true);
    chip16.load(chip16DrawingProgram());
    chip16.stepFrame();
    write("state-chip16", 0x07, encodeSaveState(RomDigest{}, chip16.takeState()));
}

// A ROM file seeds both the loader and the machine of its kind.
void writeRomSeed(const fs::path& folder, const fs::path& rom) {
    std::ifstream in(rom, std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string extension = rom.extension().string();
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const std::string name = "rom-" + rom.filename().string();
    if (extension == ".c16") {
        writeSeed(folder, "chip16_loader", name, bytes);
        const bool header =
            bytes.size() >= 16 && std::equal(bytes.begin(), bytes.begin() + 4, "CH16");
        const Bytes image = header ? Bytes(bytes.begin() + 16, bytes.end()) : bytes;
        writeSeed(folder, "chip16_executor", name, joined(chip16Controls, image));
    } else {
        writeSeed(folder, "chip8_loader", name, bytes);
        writeSeed(folder, "chip8_interpreter", name, joined(chip8Controls, bytes));
    }
}

// Good and bad arguments of quorvix-run, and ROM paths.
void writeTextSeeds(const fs::path& folder) {
    using namespace std::string_literals; // the first byte of a --press input may be 0
    const auto text = [](const std::string& t) { return Bytes(t.begin(), t.end()); };
    const std::pair<const char*, std::vector<std::string>> seeds[] = {
        {"runner_press", {"\0005@0-10"s, "\001up@3-7"s, "\001A@1-2"s, "\000f@7-7"s, "\0005@9-1"s}},
        {"runner_poke", {"0x1FF=2", "511=0x10", "0XFFFF=255", "1=256", "12"}},
        {"runner_limits", {"120", "0", "2.5", "1e3", ".5E-1", "nan", "18446744073709551616"}},
        {"rom_machine", {"Games/PONG.C16", "backup.c16.old", "c16/game.ch8", "x.C1"}},
    };
    for (const auto& [target, texts] : seeds) {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            writeSeed(folder, target, "text-" + std::to_string(i), text(texts[i]));
        }
    }
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus folder> [ROM files...]\n", argv[0]);
        return 2;
    }
    const fs::path folder = argv[1];
    writeBuiltSeeds(folder);
    writeTextSeeds(folder);
    writeStateSeeds(folder);
    for (int i = 2; i < argc; ++i) {
        writeRomSeed(folder, argv[i]);
    }
    return 0;
}
