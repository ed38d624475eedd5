// The floor under the CHIP-8 interpreter: the plainest fast interpreter of the machine's
// own rules - one function, one switch, no clock and so no timers - timed on the same
// program as BM_Chip8AluBatch. Before it is timed, its final state after 200 batches is
// checked against the interpreter's; a difference fails the benchmark.

#include "bench/chip8_bench_programs.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "tools/program_builders/chip8_program.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {
using namespace chip8reg;

// Runs `iterations` instructions by the machine's own rules. Screen, keyboard and the
// other instructions that talk to the host are not part of it: it stops at them and
// returns false.
bool runFloor(Chip8Machine& m, std::uint64_t iterations) {
    std::uint8_t* const mem = m.memory.data();
    const auto mask = static_cast<std::uint32_t>(m.memory.size() - 1);
    std::uint8_t* const V = m.V.data();
    std::uint16_t pc = m.pc;
    std::uint16_t I = m.I;
    std::uint8_t sp = m.sp;
    for (; iterations != 0; --iterations) {
        const auto op = static_cast<std::uint16_t>(mem[pc & mask] << 8 | mem[(pc + 1u) & mask]);
        pc = static_cast<std::uint16_t>(pc + 2);
        const unsigned x = (op >> 8) & 0xF;
        const unsigned y = (op >> 4) & 0xF;
        const auto kk = static_cast<std::uint8_t>(op);
        const std::uint16_t nnn = op & 0xFFF;
        switch (op >> 12) {
        case 0x0:
            if (op != 0x00EE) {
                return false;
            }
            pc = m.stack[sp];
            sp = (sp - 1) & 15;
            break;
        case 0x1: pc = nnn; break;
        case 0x2:
            sp = (sp + 1) & 15;
            m.stack[sp] = pc;
            pc = nnn;
            break;
        case 0x3: pc = static_cast<std::uint16_t>(pc + (V[x] == kk ? 2 : 0)); break;
        case 0x4: pc = static_cast<std::uint16_t>(pc + (V[x] != kk ? 2 : 0)); break;
        case 0x5:
            if ((op & 0xF) != 0) {
                return false;
            }
            pc = static_cast<std::uint16_t>(pc + (V[x] == V[y] ? 2 : 0));
            break;
        case 0x6: V[x] = kk; break;
        case 0x7: V[x] = static_cast<std::uint8_t>(V[x] + kk); break;
        case 0x8:
            // The flag goes to VF first, then the result to Vx.
            switch (op & 0xF) {
            case 0x0: V[x] = V[y]; break;
            case 0x1: V[x] |= V[y]; break;
            case 0x2: V[x] &= V[y]; break;
            case 0x3: V[x] ^= V[y]; break;
            case 0x4: {
                const unsigned sum = unsigned{V[x]} + V[y];
                V[0xF] = static_cast<std::uint8_t>(sum >> 8);
                V[x] = static_cast<std::uint8_t>(sum);
                break;
            }
            case 0x5:
                V[0xF] = V[x] >= V[y];
                V[x] = static_cast<std::uint8_t>(V[x] - V[y]);
                break;
            case 0x6:
                V[0xF] = V[x] & 1;
                V[x] = static_cast<std::uint8_t>(V[x] >> 1);
                break;
            case 0x7:
                V[0xF] = V[y] >= V[x];
                V[x] = static_cast<std::uint8_t>(V[y] - V[x]);
                break;
            case 0xE:
                V[0xF] = static_cast<std::uint8_t>(V[x] >> 7);
                V[x] = static_cast<std::uint8_t>(V[x] << 1);
                break;
            default: return false;
            }
            break;
        case 0x9:
            if ((op & 0xF) != 0) {
                return false;
            }
            pc = static_cast<std::uint16_t>(pc + (V[x] != V[y] ? 2 : 0));
            break;
        case 0xA: I = nnn; break;
        case 0xB: pc = static_cast<std::uint16_t>(nnn + V[0]); break;
        case 0xC: V[x] = static_cast<std::uint8_t>(drawSeededRandom(m.random) & kk); break;
        case 0xF:
            switch (kk) {
            case 0x07: V[x] = m.delayTimer; break;
            case 0x15: m.delayTimer = V[x]; break;
            case 0x18: m.soundTimer = V[x]; break;
            case 0x1E: {
                const unsigned sum = unsigned{I} + V[x];
                V[0xF] = static_cast<std::uint8_t>(sum >> 12);
                I = static_cast<std::uint16_t>(sum & mask);
                break;
            }
            case 0x29: I = static_cast<std::uint16_t>((V[x] & 0xF) * 5); break;
            case 0x30: I = static_cast<std::uint16_t>(chip8BigFontStart + (V[x] & 0xF) * 10); break;
            case 0x33:
                mem[(I + 2u) & mask] = V[x] % 10;
                mem[(I + 1u) & mask] = (V[x] / 10) % 10;
                mem[I & mask] = V[x] / 100;
                break;
            case 0x55:
                for (unsigned i = 0; i <= x; ++i) {
                    mem[(I + i) & mask] = V[i];
                }
                break;
            case 0x65:
                for (unsigned i = 0; i <= x; ++i) {
                    V[i] = mem[(I + i) & mask];
                }
                break;
            default: return false;
            }
            break;
        default: return false;
        }
    }
    m.pc = pc;
    m.I = I;
    m.sp = sp;
    return true;
}

std::unique_ptr<Chip8Machine> machineWith(const std::vector<std::uint8_t>& bytes) {
    auto m = std::make_unique<Chip8Machine>();
    resetChip8Machine(*m);
    std::copy(bytes.begin(), bytes.end(), m->memory.begin() + chip8ProgramStart);
    return m;
}

std::string differenceFromInterpreter(const std::vector<std::uint8_t>& bytes) {
    constexpr int batches = 200;
    initClock();
    auto real = machineWith(bytes);
    auto floor = machineWith(bytes);
    for (int i = 0; i < batches; ++i) {
        runChip8Batch(*real);
    }
    if (!runFloor(*floor, std::uint64_t{batches} * chip8BatchIterations)) {
        return "an instruction outside the floor's set";
    }
    const Chip8Machine& a = *real;
    const Chip8Machine& b = *floor;
    if (a.V != b.V || a.I != b.I || a.pc != b.pc || a.sp != b.sp || a.stack != b.stack) {
        return "registers or stack";
    }
    if (a.delayTimer != b.delayTimer || a.soundTimer != b.soundTimer || a.memory != b.memory) {
        return "timers or memory";
    }
    return {};
}

void BM_Chip8FloorAlu(benchmark::State& state) {
    const std::vector<std::uint8_t> program = chip8AluProgram();
    if (const std::string difference = differenceFromInterpreter(program); !difference.empty()) {
        state.SkipWithError(("the floor differs from the interpreter in " + difference).c_str());
        return;
    }
    auto m = machineWith(program);
    for (auto _ : state) {
        runFloor(*m, chip8BatchIterations);
    }
    benchmark::DoNotOptimize(m->V);
    state.SetItemsProcessed(state.iterations() * chip8BatchIterations);
}
BENCHMARK(BM_Chip8FloorAlu);
} // namespace
