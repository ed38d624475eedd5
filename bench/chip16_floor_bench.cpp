// The floor under the Chip-16 executor: the plainest fast interpreter with the same
// behaviour - one function, one switch, the hot state in locals - timed on the same
// programs. Before it is timed, its final state after 200 batches is checked against
// the executor's; a difference fails the benchmark, so the floor cannot drift from the
// machine it stands for.

#include "bench/chip16_bench_programs.h"
#include "chip16/chip16_machine.h"
#include "chip16/frame_pacer.h"
#include "chip16/run_loop.h"
#include "platform/random.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {
constexpr double cyclesPerFrame = 16666.666666666668;

// The sprite draw, plainly: the visible rectangle, pixel by pixel; returns the collision.
std::uint8_t drawFloorSprite(Chip16Machine& m, std::int32_t x0, std::int32_t y0,
                             std::uint16_t address) {
    const std::uint8_t* mem = m.memory.data();
    std::uint8_t c = 0;
    const std::int32_t bytes = m.spriteWidth;
    const std::int32_t rows = m.spriteHeight;
    if (address + bytes * rows > 65536) {
        return 0;
    }
    const std::int32_t columns = 2 * bytes;
    const std::int32_t j0 = std::max(0, -x0);
    const std::int32_t j1 = std::min(columns, 320 - x0);
    const std::int32_t i0 = std::max(0, -y0);
    const std::int32_t i1 = std::min(rows, 240 - y0);
    const bool h = m.flipHorizontal != 0;
    for (std::int32_t i = i0; i < i1; ++i) {
        const std::uint8_t* s = mem + address + (m.flipVertical ? rows - 1 - i : i) * bytes;
        std::uint8_t* t = m.screen.data() + (y0 + i) * 320;
        for (std::int32_t j = j0; j < j1; ++j) {
            const std::int32_t k = h ? columns - 1 - j : j;
            const std::uint8_t v = (k & 1) ? s[k >> 1] & 0x0F : s[k >> 1] >> 4;
            std::uint8_t& p = t[x0 + j];
            c |= static_cast<std::uint8_t>((v != 0) & (p != 0));
            p = v != 0 ? v : p;
        }
    }
    return c;
}

// Runs `iterations` instructions as runChip16Batch runs them, frame boundaries included
// (without a display or pacing). The later instructions are not part of it: it stops
// at any opcode outside the base set and returns false.
bool runFloor(Chip16Machine& m, std::uint64_t iterations) {
    std::uint8_t* const mem = m.memory.data();
    std::uint16_t* const R = m.R.data();
    std::uint16_t pc = m.pc;
    std::uint16_t sp = m.sp;
    std::uint8_t c = m.carry;
    std::uint8_t z = m.zero;
    std::uint8_t o = m.overflow;
    std::uint8_t n = m.negative;
    // Instructions counted in thirds: a frame is 50000 / 3 of them.
    constexpr std::uint64_t frameThirds = 50'000;
    std::uint64_t thirds = static_cast<std::uint64_t>(std::llround(m.cycles * 3.0));
    std::uint64_t frames = m.framesCompleted;
    const auto read = [mem](std::uint16_t a) {
        return static_cast<std::uint16_t>(mem[a] | mem[static_cast<std::uint16_t>(a + 1)] << 8);
    };
    const auto write = [mem](std::uint16_t a, std::uint16_t v) {
        mem[a] = static_cast<std::uint8_t>(v);
        mem[static_cast<std::uint16_t>(a + 1)] = static_cast<std::uint8_t>(v >> 8);
    };
    const auto holds = [&](unsigned k) -> bool {
        switch (k) {
        case 0x0: return z;
        case 0x1: return !z;
        case 0x2: return n;
        case 0x3: return !n;
        case 0x4: return !n && !z;
        case 0x5: return o;
        case 0x6: return !o;
        case 0x7: return !c && !z;
        case 0x8: return !c;
        case 0x9: return c;
        case 0xA: return c || z;
        case 0xB: return o == n && !z;
        case 0xC: return o == n;
        case 0xD: return o != n;
        case 0xE: return o != n || z;
        default: return false;
        }
    };
    const auto zn = [&](std::uint16_t r) {
        z = r == 0;
        n = static_cast<std::uint8_t>(r >> 15);
        return r;
    };
    const auto add = [&](std::uint16_t a, std::uint16_t b) {
        const std::uint32_t s = std::uint32_t{a} + b;
        const auto r = static_cast<std::uint16_t>(s);
        c = static_cast<std::uint8_t>(s >> 16);
        o = static_cast<std::uint8_t>(((~(a ^ b) & (a ^ r)) >> 15) & 1);
        return zn(r);
    };
    const auto sub = [&](std::uint16_t a, std::uint16_t b) {
        const auto r = static_cast<std::uint16_t>(a - b);
        const auto nb = static_cast<std::uint16_t>(-b);
        c = a < b;
        o = static_cast<std::uint8_t>(((~(a ^ nb) & (a ^ r)) >> 15) & 1);
        return zn(r);
    };
    const auto mul = [&](std::uint16_t a, std::uint16_t b) {
        const std::uint32_t p = std::uint32_t{a} * b;
        c = p > 0xFFFF;
        return zn(static_cast<std::uint16_t>(p));
    };
    const auto div = [&](std::uint16_t a, std::uint16_t b) {
        if (b == 0) {
            c = 0;
            return zn(0);
        }
        c = a % b != 0;
        return zn(static_cast<std::uint16_t>(a / b));
    };

    // The instructions between two boundaries run as one count, then the boundary and
    // the instruction that sees the vertical blank, which is not one of the iterations.
    bool vblank = false;
    std::uint64_t run = 0;
    for (;;) {
        if (run == 0) {
            if (thirds > frameThirds) {
                thirds -= frameThirds - 3;
                ++frames;
                mem[0xFFF0] = sampleChip16Controller(m);
                vblank = true;
                run = 1;
            } else if (iterations == 0) {
                break;
            } else {
                run = std::min((frameThirds - thirds) / 3 + 1, iterations);
                iterations -= run;
                thirds += 3 * run;
                vblank = false;
            }
        }
        --run;
        std::uint32_t w;
        if (pc <= 0xFFFC) {
            std::memcpy(&w, mem + pc, 4);
        } else {
            w = static_cast<std::uint32_t>(read(pc) | read(static_cast<std::uint16_t>(pc + 2))
                                                          << 16);
        }
        pc = static_cast<std::uint16_t>(pc + 4);
        const unsigned x = (w >> 8) & 0xF;
        const unsigned y = (w >> 12) & 0xF;
        const unsigned rz = (w >> 16) & 0xF;
        const auto imm = static_cast<std::uint16_t>(w >> 16);
        std::uint16_t& rx = R[x];
        const std::uint16_t ry = R[y];
        switch (w & 0xFF) {
        case 0x00: break;
        case 0x01:
            m.screen.fill(0);
            m.backgroundColour = 0;
            break;
        case 0x02:
            if (!vblank) {
                pc = static_cast<std::uint16_t>(pc - 4);
            }
            break;
        case 0x03: m.backgroundColour = static_cast<std::uint8_t>(rz); break;
        case 0x04:
            m.spriteWidth = (w >> 16) & 0xFF;
            m.spriteHeight = (w >> 24) & 0xFF;
            break;
        case 0x05:
            c = drawFloorSprite(m, static_cast<std::int16_t>(rx), static_cast<std::int16_t>(ry),
                                imm);
            break;
        case 0x06:
            c = drawFloorSprite(m, static_cast<std::int16_t>(rx), static_cast<std::int16_t>(ry),
                                R[rz]);
            break;
        case 0x07: rx = static_cast<std::uint16_t>(drawSeededRandom(m.random) % (imm + 1u)); break;
        case 0x08:
            m.flipVertical = (w >> 24) & 1;
            m.flipHorizontal = (w >> 25) & 1;
            break;
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C: break;
        case 0x10: pc = imm; break;
        case 0x11: pc = c ? imm : pc; break;
        case 0x12: pc = holds(x) ? imm : pc; break;
        case 0x13: pc = rx == ry ? imm : pc; break;
        case 0x14:
            write(sp, pc);
            sp = static_cast<std::uint16_t>(sp + 2);
            pc = imm;
            break;
        case 0x15:
            sp = static_cast<std::uint16_t>(sp - 2);
            pc = read(sp);
            break;
        case 0x16: pc = rx; break;
        case 0x17:
            if (holds(x)) {
                write(sp, pc);
                sp = static_cast<std::uint16_t>(sp + 2);
                pc = imm;
            }
            break;
        case 0x18:
            write(sp, pc);
            sp = static_cast<std::uint16_t>(sp + 2);
            pc = rx;
            break;
        case 0x20: rx = imm; break;
        case 0x21: sp = imm; break;
        case 0x22: rx = read(imm); break;
        case 0x23: rx = read(ry); break;
        case 0x24: rx = ry; break;
        case 0x30: write(imm, rx); break;
        case 0x31: write(ry, rx); break;
        case 0x40: rx = add(rx, imm); break;
        case 0x41: rx = add(rx, ry); break;
        case 0x42: R[rz] = add(rx, ry); break;
        case 0x50: rx = sub(rx, imm); break;
        case 0x51: rx = sub(rx, ry); break;
        case 0x52: R[rz] = sub(rx, ry); break;
        case 0x53: sub(rx, imm); break;
        case 0x54: sub(rx, ry); break;
        case 0x60: rx = zn(rx & imm); break;
        case 0x61: rx = zn(rx & ry); break;
        case 0x62: R[rz] = zn(rx & ry); break;
        case 0x63: zn(rx & imm); break;
        case 0x64: zn(rx & ry); break;
        case 0x70: rx = zn(rx | imm); break;
        case 0x71: rx = zn(rx | ry); break;
        case 0x72: R[rz] = zn(rx | ry); break;
        case 0x80: rx = zn(rx ^ imm); break;
        case 0x81: rx = zn(rx ^ ry); break;
        case 0x82: R[rz] = zn(rx ^ ry); break;
        case 0x90: rx = mul(rx, imm); break;
        case 0x91: rx = mul(rx, ry); break;
        case 0x92: R[rz] = mul(rx, ry); break;
        case 0xA0: rx = div(rx, imm); break;
        case 0xA1: rx = div(rx, ry); break;
        case 0xA2: R[rz] = div(rx, ry); break;
        case 0xB0: rx = zn(static_cast<std::uint16_t>(rx << rz)); break;
        case 0xB1: rx = zn(static_cast<std::uint16_t>(rx >> rz)); break;
        case 0xB2: rx = zn(static_cast<std::uint16_t>(static_cast<std::int16_t>(rx) >> rz)); break;
        case 0xB3: rx = zn(static_cast<std::uint16_t>(rx << (ry & 0xF))); break;
        case 0xB4: rx = zn(static_cast<std::uint16_t>(rx >> (ry & 0xF))); break;
        case 0xB5:
            rx = zn(static_cast<std::uint16_t>(static_cast<std::int16_t>(rx) >> (ry & 0xF)));
            break;
        case 0xC0:
            write(sp, rx);
            sp = static_cast<std::uint16_t>(sp + 2);
            break;
        case 0xC1:
            sp = static_cast<std::uint16_t>(sp - 2);
            rx = read(sp);
            break;
        case 0xC2:
            for (int i = 0; i < 16; ++i) {
                write(sp, R[i]);
                sp = static_cast<std::uint16_t>(sp + 2);
            }
            break;
        case 0xC3:
            for (int i = 15; i >= 0; --i) {
                sp = static_cast<std::uint16_t>(sp - 2);
                R[i] = read(sp);
            }
            break;
        case 0xC4:
            write(sp, static_cast<std::uint16_t>(c << 1 | z << 2 | o << 6 | n << 7));
            sp = static_cast<std::uint16_t>(sp + 2);
            break;
        case 0xC5: {
            sp = static_cast<std::uint16_t>(sp - 2);
            const std::uint16_t f = read(sp);
            c = (f >> 1) & 1;
            z = (f >> 2) & 1;
            o = (f >> 6) & 1;
            n = (f >> 7) & 1;
            break;
        }
        default: return false;
        }
    }

    m.pc = pc;
    m.sp = sp;
    m.carry = c;
    m.zero = z;
    m.overflow = o;
    m.negative = n;
    m.cycles = static_cast<double>(thirds) / 3.0;
    m.framesCompleted = frames;
    return true;
}

std::unique_ptr<Chip16Machine> machineWith(const Chip16Program& program) {
    auto m = std::make_unique<Chip16Machine>();
    std::copy(program.image().begin(), program.image().end(), m->memory.begin());
    m->startAddress = 0;
    resetChip16(*m);
    return m;
}

// What differs between the executor and the floor after the same number of
// instructions from the same start, or empty.
std::string differenceFromExecutor(const Chip16Program& program) {
    constexpr int batches = 200; // twelve frame boundaries
    auto real = machineWith(program);
    real->framePacing = false;
    auto floor = machineWith(program);
    for (int i = 0; i < batches; ++i) {
        runChip16Batch(*real);
    }
    if (!runFloor(*floor, std::uint64_t{batches} * chip16IterationsPerStep)) {
        return "an opcode outside the floor's set";
    }
    const Chip16Machine& a = *real;
    const Chip16Machine& b = *floor;
    if (a.R != b.R || a.pc != b.pc || a.sp != b.sp) {
        return "registers";
    }
    if (a.carry != b.carry || a.zero != b.zero || a.overflow != b.overflow ||
        a.negative != b.negative) {
        return "flags";
    }
    if (std::abs(a.cycles - b.cycles) > 1e-6 || a.framesCompleted != b.framesCompleted) {
        return "frame count";
    }
    if (a.memory != b.memory || a.screen != b.screen) {
        return "memory or screen";
    }
    return {};
}

void runFloorBatches(benchmark::State& state, const Chip16Program& program) {
    if (const std::string difference = differenceFromExecutor(program); !difference.empty()) {
        state.SkipWithError(("the floor differs from the executor in " + difference).c_str());
        return;
    }
    auto m = machineWith(program);
    for (auto _ : state) {
        runFloor(*m, chip16IterationsPerStep);
    }
    const auto instructions = static_cast<std::int64_t>(
        std::llround(static_cast<double>(m->framesCompleted) * cyclesPerFrame + m->cycles));
    state.SetItemsProcessed(instructions);
}

void BM_Chip16FloorMixed(benchmark::State& state) {
    runFloorBatches(state, mixedChip16Program(false));
}
BENCHMARK(BM_Chip16FloorMixed);

void BM_Chip16FloorMixedWithSprites(benchmark::State& state) {
    runFloorBatches(state, mixedChip16Program(true));
}
BENCHMARK(BM_Chip16FloorMixedWithSprites);

void BM_Chip16FloorNarrowSprites(benchmark::State& state) {
    runFloorBatches(state, narrowSpritesChip16Program());
}
BENCHMARK(BM_Chip16FloorNarrowSprites);
} // namespace
