#include "chip8/interpreter.h"

#include "chip8/chip8_machine.h"
#include "chip8/reset_request.h"
#include "chip8/screen.h"
#include "chip8/tick_pacer.h"
#include "chip8/timers.h"
#include "platform/clock.h"
#include "platform/console_log.h"
#include "platform/random.h"
#include "workers/worker_thread.h"

#include <atomic>

namespace {
constexpr std::uint8_t stackMask = 15;
// The XO-CHIP long load, F000 nnnn, the one instruction of 4 bytes.
constexpr std::uint16_t longLoad = 0xF000;

// The rules an instruction runs by: the machine's own rules are a compile-time
// constant in the code that runs them, so they pay nothing for the switches.
template <bool Variant> const Chip8Rules& rulesOf(const Chip8Machine& m) {
    if constexpr (Variant) {
        return m.rules;
    } else {
        return quorvixRules;
    }
}

template <bool Variant> std::uint8_t& memoryAt(Chip8Machine& m, std::uint32_t address) {
    return m.memory[address & rulesOf<Variant>(m).addressMask];
}

template <bool Variant> std::uint16_t wordAt(Chip8Machine& m, std::uint32_t address) {
    return static_cast<std::uint16_t>(memoryAt<Variant>(m, address) << 8 |
                                      memoryAt<Variant>(m, address + 1));
}

void reportSound(Chip8Machine& m, SoundEvent event) {
    if (m.soundHook) {
        event.time = chip8EmulatedTime(m);
        m.soundHook(event);
    }
}

// The sound plays while the timer is above 0; only a change between silent and
// sounding is news (a new count while it sounds keeps the pattern's play position).
void reportSoundTimerChange(Chip8Machine& m, bool wasSounding) {
    const bool sounding = m.soundTimer != 0;
    if (sounding != wasSounding) {
        SoundEvent event;
        event.kind = sounding ? SoundEventKind::TimerStarted : SoundEventKind::TimerStopped;
        event.patterned = m.rules.xoChipInstructions;
        reportSound(m, event);
    }
}

void reportUnknown(std::uint16_t opcode) {
    logMessage("Unknown Instruction! [0x%x]", opcode);
}

// A skip steps over the whole next instruction: 4 bytes when it is a long load.
template <bool Variant> void skipIf(Chip8Machine& m, std::uint16_t& pc, bool condition) {
    if (!condition) {
        return;
    }
    const bool overLongLoad =
        rulesOf<Variant>(m).xoChipInstructions && wordAt<Variant>(m, pc) == longLoad;
    pc = static_cast<std::uint16_t>(pc + (overLongLoad ? 4 : 2));
}

template <bool Variant> void skipIf(Chip8Machine& m, bool condition) {
    skipIf<Variant>(m, m.pc, condition);
}

bool chip8KeyDown(const Chip8Machine& m, std::uint8_t key) {
    return m.keys.isDown(key);
}

// 00FE / 00FF. Where the rules say so the switch clears every plane, whichever are
// selected: a picture drawn for one resolution means nothing in the other.
template <bool Variant> void switchResolution(Chip8Machine& m, std::uint8_t hiRes) {
    m.hiRes = hiRes;
    if (rulesOf<Variant>(m).resolutionSwitchClears) {
        const std::uint8_t selected = m.planes;
        m.planes = 3;
        clearChip8Screen(m);
        m.planes = selected;
    }
}

// The 0nnn instructions other than 00EE, which execute() runs itself.
template <bool Variant> void executeSystem(Chip8Machine& m, std::uint16_t opcode) {
    if (rulesOf<Variant>(m).xoChipInstructions && (opcode & 0xFFF0) == 0x00D0) {
        scrollChip8Up(m, opcode & 0xF);
        return;
    }
    if ((opcode & 0xFFF0) == 0x00C0) {
        const std::uint8_t rows = opcode & 0xF;
        if (rows == 0) {
            logMessage("No scrolling? Why do this?");
        } else {
            scrollChip8Down(m, rows);
        }
        return;
    }
    switch (opcode) {
    case 0x00E0: clearChip8Screen(m); break;
    case 0x00FB: scrollChip8Right(m); break;
    case 0x00FC: scrollChip8Left(m); break;
    case 0x00FD:
        logMessage("QUIT Opcode");
        requestChip8Reset(m);
        m.pc = static_cast<std::uint16_t>(m.pc - 2);
        break;
    case 0x00FE:
        logMessage("Mode = Chip-8");
        switchResolution<Variant>(m, 0);
        break;
    case 0x00FF:
        logMessage("Mode = Super Chip-8");
        switchResolution<Variant>(m, 1);
        break;
    default: reportUnknown(opcode); break;
    }
}

// With the machine's flag order the flag goes to VF before the result goes to Vx, and
// the shifts and subtractions read their operands after that, so with x or y = F the
// new flag takes part. With the flag last, VF always ends holding the flag.
template <bool Variant>
[[gnu::always_inline]] inline void executeArithmetic(Chip8Machine& m, std::uint16_t opcode) {
    const Chip8Rules& rules = rulesOf<Variant>(m);
    const unsigned x = (opcode >> 8) & 0xF;
    const unsigned y = (opcode >> 4) & 0xF;
    const unsigned shifted = rules.shiftReadsVy ? y : x;
    auto& V = m.V;
    // Result first, then the flag.
    const auto store = [&V, x](unsigned result, unsigned flag) {
        V[x] = static_cast<std::uint8_t>(result);
        V[0xF] = static_cast<std::uint8_t>(flag);
    };
    switch (opcode & 0xF) {
    case 0x0: V[x] = V[y]; break;
    case 0x1:
        V[x] |= V[y];
        if (rules.logicResetsVF) {
            V[0xF] = 0;
        }
        break;
    case 0x2:
        V[x] &= V[y];
        if (rules.logicResetsVF) {
            V[0xF] = 0;
        }
        break;
    case 0x3:
        V[x] ^= V[y];
        if (rules.logicResetsVF) {
            V[0xF] = 0;
        }
        break;
    case 0x4: {
        const unsigned sum = unsigned{V[x]} + V[y];
        if (rules.flagLast) {
            store(sum, sum >> 8);
        } else {
            V[0xF] = static_cast<std::uint8_t>(sum >> 8);
            V[x] = static_cast<std::uint8_t>(sum);
        }
        break;
    }
    case 0x5:
        if (rules.flagLast) {
            store(unsigned{V[x]} - V[y], V[x] >= V[y] ? 1 : 0);
        } else {
            V[0xF] = V[x] >= V[y] ? 1 : 0;
            V[x] = static_cast<std::uint8_t>(V[x] - V[y]);
        }
        break;
    case 0x6:
        if (rules.flagLast) {
            store(V[shifted] >> 1u, V[shifted] & 1u);
        } else {
            V[0xF] = V[shifted] & 1u;
            V[x] = static_cast<std::uint8_t>(V[shifted] >> 1);
        }
        break;
    case 0x7:
        if (rules.flagLast) {
            store(unsigned{V[y]} - V[x], V[y] >= V[x] ? 1 : 0);
        } else {
            V[0xF] = V[y] >= V[x] ? 1 : 0;
            V[x] = static_cast<std::uint8_t>(V[y] - V[x]);
        }
        break;
    case 0xE:
        if (rules.flagLast) {
            store(unsigned{V[shifted]} << 1, V[shifted] >> 7);
        } else {
            V[0xF] = static_cast<std::uint8_t>(V[shifted] >> 7);
            V[x] = static_cast<std::uint8_t>(V[shifted] << 1);
        }
        break;
    default: reportUnknown(opcode); break;
    }
}

template <bool Variant> void executeKeySkip(Chip8Machine& m, std::uint16_t opcode) {
    const std::uint8_t key = m.V[(opcode >> 8) & 0xF];
    switch (opcode & 0xFF) {
    case 0x9E:
        if (key > 0xF) {
            logMessage("SKPv: Key greater than 0xf");
        } else {
            skipIf<Variant>(m, chip8KeyDown(m, key));
        }
        break;
    case 0xA1:
        if (key > 0xF) {
            logMessage("SKNPv: Key greater than 0xf");
        } else {
            skipIf<Variant>(m, !chip8KeyDown(m, key));
        }
        break;
    default: reportUnknown(opcode); break;
    }
}

std::uint8_t firstKeyDown(const Chip8Machine& m) {
    for (std::uint8_t key = 0; key <= 0xF; ++key) {
        if (chip8KeyDown(m, key)) {
            return key;
        }
    }
    return chip8NoKeyWaited;
}

// Fx0A runs again (pc steps back) until it completes: at a key press, or, where the
// rules say so, when the key seen pressed goes up again.
template <bool Variant> void waitForKey(Chip8Machine& m, unsigned x) {
    if (!rulesOf<Variant>(m).keyWaitEndsOnRelease) {
        const std::uint8_t key = firstKeyDown(m);
        if (key != chip8NoKeyWaited) {
            m.V[x] = key;
            return;
        }
    } else if (m.keyWaited == chip8NoKeyWaited) {
        m.keyWaited = firstKeyDown(m);
    } else if (!chip8KeyDown(m, m.keyWaited)) {
        m.V[x] = m.keyWaited;
        m.keyWaited = chip8NoKeyWaited;
        return;
    }
    m.pc = static_cast<std::uint16_t>(m.pc - 2);
}

// Fx55 / Fx65 afterwards: I stays, or moves past the registers (x + 1), or by x only.
template <bool Variant> void moveIPastRegisters(Chip8Machine& m, unsigned x) {
    const Chip8Rules& rules = rulesOf<Variant>(m);
    if (rules.loadStoreMovesI) {
        const unsigned step = rules.loadStoreMovesIByX ? x : x + 1;
        m.I = static_cast<std::uint16_t>((m.I + step) & rules.addressMask);
    }
}

// F000 nnnn, Fn01, F002 and Fx3A; false when the opcode is none of them.
template <bool Variant> bool executeXoChipMisc(Chip8Machine& m, std::uint16_t opcode) {
    const unsigned x = (opcode >> 8) & 0xF;
    switch (opcode & 0xFF) {
    case 0x00:
        if (x != 0) {
            return false;
        }
        m.I = wordAt<Variant>(m, m.pc);
        m.pc = static_cast<std::uint16_t>(m.pc + 2);
        return true;
    case 0x01: m.planes = static_cast<std::uint8_t>(x & 3); return true;
    case 0x02:
        if (x != 0) {
            return false;
        }
        for (unsigned i = 0; i < m.audioPattern.size(); ++i) {
            m.audioPattern[i] = memoryAt<Variant>(m, m.I + i);
        }
        if (m.soundHook) {
            SoundEvent event;
            event.kind = SoundEventKind::PatternLoaded;
            event.pattern = m.audioPattern;
            reportSound(m, event);
        }
        return true;
    case 0x3A:
        m.pitch = m.V[x];
        if (m.soundHook) {
            SoundEvent event;
            event.kind = SoundEventKind::PitchSet;
            event.pitch = m.pitch;
            reportSound(m, event);
        }
        return true;
    default: return false;
    }
}

template <bool Variant> void executeMisc(Chip8Machine& m, std::uint16_t opcode) {
    const Chip8Rules& rules = rulesOf<Variant>(m);
    if (rules.xoChipInstructions && executeXoChipMisc<Variant>(m, opcode)) {
        return;
    }
    const unsigned x = (opcode >> 8) & 0xF;
    // Registers Fx75/Fx85 save and restore: V0-V7, or all sixteen with XO-CHIP.
    const unsigned flagCount = rules.xoChipInstructions ? 16 : 8;
    auto& V = m.V;
    switch (opcode & 0xFF) {
    case 0x07: V[x] = m.delayTimer; break;
    case 0x0A: waitForKey<Variant>(m, x); break;
    case 0x15: m.delayTimer = V[x]; break;
    case 0x18: {
        const bool wasSounding = m.soundTimer != 0;
        m.soundTimer = V[x];
        reportSoundTimerChange(m, wasSounding);
        break;
    }
    case 0x1E: {
        const unsigned sum = unsigned{m.I} + V[x];
        if (!rules.addToILeavesVF) {
            V[0xF] = static_cast<std::uint8_t>(sum >> 12);
        }
        m.I = static_cast<std::uint16_t>(sum & rules.addressMask);
        break;
    }
    case 0x29: m.I = static_cast<std::uint16_t>((V[x] & 0xF) * 5); break;
    case 0x30: m.I = static_cast<std::uint16_t>(chip8BigFontStart + (V[x] & 0xF) * 10); break;
    case 0x33:
        memoryAt<Variant>(m, m.I + 2u) = V[x] % 10;
        memoryAt<Variant>(m, m.I + 1u) = (V[x] / 10) % 10;
        memoryAt<Variant>(m, m.I) = V[x] / 100;
        break;
    case 0x55:
        for (unsigned i = 0; i <= x; ++i) {
            memoryAt<Variant>(m, m.I + i) = V[i];
        }
        moveIPastRegisters<Variant>(m, x);
        break;
    case 0x65:
        for (unsigned i = 0; i <= x; ++i) {
            V[i] = memoryAt<Variant>(m, m.I + i);
        }
        moveIPastRegisters<Variant>(m, x);
        break;
    case 0x75:
        if (x < flagCount) {
            for (unsigned i = 0; i <= x; ++i) {
                m.rplFlags[i] = V[i];
            }
            logMessage("LDHPv");
        } else {
            logMessage("LDHPv: x >= %u!", flagCount);
        }
        break;
    case 0x85:
        if (x < flagCount) {
            for (unsigned i = 0; i <= x; ++i) {
                V[i] = m.rplFlags[i];
            }
            logMessage("LDvHP");
        } else {
            logMessage("LDvHP: x >= %u!", flagCount);
        }
        break;
    default: reportUnknown(opcode); break;
    }
}

// 5xy2 and 5xy3: Vx to Vy, in either direction, at I, I + 1, ...; I unchanged.
template <bool Variant> void storeOrLoadRange(Chip8Machine& m, unsigned x, unsigned y, bool store) {
    const unsigned count = (x <= y ? y - x : x - y) + 1;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned r = x <= y ? x + i : x - i;
        std::uint8_t& cell = memoryAt<Variant>(m, m.I + i);
        if (store) {
            cell = m.V[r];
        } else {
            m.V[r] = cell;
        }
    }
}

template <bool Variant> void executeFive(Chip8Machine& m, std::uint16_t opcode) {
    const unsigned x = (opcode >> 8) & 0xF;
    const unsigned y = (opcode >> 4) & 0xF;
    const unsigned kind = opcode & 0xF;
    if (kind == 0) {
        skipIf<Variant>(m, m.V[x] == m.V[y]);
    } else if (rulesOf<Variant>(m).xoChipInstructions && (kind == 2 || kind == 3)) {
        storeOrLoadRange<Variant>(m, x, y, kind == 2);
    } else {
        reportUnknown(opcode);
    }
}

// The Fxkk instructions that only move memory, I and registers: Fx1E, Fx29, Fx30, Fx33,
// Fx55 and Fx65. The others read or set the timers, wait for a key, log or report sound.
constexpr bool isQuickMisc(std::uint8_t kk) {
    switch (kk) {
    case 0x1E:
    case 0x29:
    case 0x30:
    case 0x33:
    case 0x55:
    case 0x65: return true;
    default: return false;
    }
}

// Runs the instruction whose fetch has moved `pc` past it; true when it was a quick
// one: a few nanoseconds of register work, jumps, calls and returns, skips or moves
// between memory and registers, none of which looks at the timers, waits, logs or calls
// out of the interpreter. The program
// counter is the caller's, so that a loop of instructions keeps it in a register; the
// other instructions see it in the machine. Inlined into the loops that run it, so
// that the dispatch costs no call.
template <bool Variant>
[[gnu::always_inline]] inline bool execute(Chip8Machine& m, std::uint16_t& pc,
                                           std::uint16_t opcode) {
    const unsigned x = (opcode >> 8) & 0xF;
    const unsigned y = (opcode >> 4) & 0xF;
    const std::uint8_t kk = opcode & 0xFF;
    const std::uint16_t nnn = opcode & 0xFFF;
    auto& V = m.V;
    // Runs an instruction that reads or moves the machine's program counter.
    const auto withMachinePc = [&m, &pc](auto run) {
        m.pc = pc;
        run();
        pc = m.pc;
    };
    switch (opcode >> 12) {
    case 0x0:
        if (opcode == 0x00EE) {
            pc = m.stack[m.sp];
            m.sp = (m.sp - 1) & stackMask;
            return true;
        }
        withMachinePc([&] { executeSystem<Variant>(m, opcode); });
        return false;
    case 0x1: pc = nnn; break;
    case 0x2:
        m.sp = (m.sp + 1) & stackMask;
        m.stack[m.sp] = pc;
        pc = nnn;
        break;
    case 0x3: skipIf<Variant>(m, pc, V[x] == kk); break;
    case 0x4: skipIf<Variant>(m, pc, V[x] != kk); break;
    case 0x5: withMachinePc([&] { executeFive<Variant>(m, opcode); }); return (opcode & 0xF) == 0;
    case 0x6: V[x] = kk; break;
    case 0x7: V[x] = static_cast<std::uint8_t>(V[x] + kk); break;
    case 0x8:
        executeArithmetic<Variant>(m, opcode);
        // 8xy0-8xy7 and 8xyE; the others are unknown and logged.
        return ((0x40FFu >> (opcode & 0xF)) & 1u) != 0;
    case 0x9:
        if ((opcode & 0xF) != 0) {
            reportUnknown(opcode);
            return false;
        }
        skipIf<Variant>(m, pc, V[x] != V[y]);
        break;
    case 0xA: m.I = nnn; break;
    // pc keeps all 16 bits of the sum; the fetch wraps it into memory.
    case 0xB:
        pc = static_cast<std::uint16_t>(nnn + V[rulesOf<Variant>(m).jumpAddsVx ? x : 0]);
        break;
    case 0xC: V[x] = static_cast<std::uint8_t>(drawSeededRandom(m.random) & kk); break;
    // The machine's pc is current while a draw waits for the display.
    case 0xD:
        m.pc = pc;
        drawChip8Sprite(m, V[x], V[y], opcode & 0xF);
        return false;
    case 0xE: withMachinePc([&] { executeKeySkip<Variant>(m, opcode); }); return false;
    default: withMachinePc([&] { executeMisc<Variant>(m, opcode); }); return isQuickMisc(kk);
    }
    return true;
}

// Fetches the instruction at pc and moves pc past it.
template <bool Variant> std::uint16_t fetch(Chip8Machine& m, std::uint16_t& pc) {
    const std::uint16_t opcode = wordAt<Variant>(m, pc);
    pc = static_cast<std::uint16_t>(pc + 2);
    return opcode;
}

// One instruction, fetched and run, with the machine's program counter.
template <bool Variant> std::uint16_t fetchAndExecute(Chip8Machine& m) {
    std::uint16_t pc = m.pc;
    const std::uint16_t opcode = fetch<Variant>(m, pc);
    execute<Variant>(m, pc, opcode);
    m.pc = pc;
    return opcode;
}

void updateTimers(Chip8Machine& m, std::uint64_t now) {
    updateChip8Timer(m.delayTimer, m.delayTimerLastTick, now);
    if (m.soundTimer != 0) {
        updateChip8Timer(m.soundTimer, m.soundTimerLastTick, now);
        reportSoundTimerChange(m, true);
    }
}

// One instruction at `now`. Reading the rules where it needs them is cheaper than
// first comparing the whole record with the machine's own, as a batch does.
void step(Chip8Machine& m, std::uint64_t now) {
    updateTimers(m, now);
    fetchAndExecute<true>(m);
}

// Quick instructions run in a row between two looks at the clock and at the worker's
// stop request: few enough that they take well under a microsecond together.
constexpr std::uint64_t quickRunLength = 48;

// The timers are brought up to the clock before the first instruction of each run of
// quick instructions, and a run ends after any other instruction: so the next
// instruction sees the clock anew after a draw (which may wait for the refresh), and a
// timer never steps more than a run of quick instructions (well under a microsecond)
// after it is due. A timer at 0 neither steps nor keeps timing, so while both are 0 the
// clock, the dearest part of an instruction, is not read: the timers end exactly as
// they would. A stop ends the batch at the end of a run: with a draw on every
// instruction, each waiting for a refresh, the whole batch would take many seconds.
template <bool Variant> void runIterations(Chip8Machine& m, std::uint64_t count) {
    std::uint64_t i = 0;
    while (i < count && !stepShouldEnd()) {
        if ((m.delayTimer | m.soundTimer) != 0) {
            updateTimers(m, elapsedNanoseconds());
        }
        const std::uint64_t runEnd = count - i < quickRunLength ? count : i + quickRunLength;
        std::uint16_t pc = m.pc;
        bool quick = true;
        do {
            const std::uint16_t opcode = fetch<Variant>(m, pc);
            quick = execute<Variant>(m, pc, opcode);
            ++i;
        } while (i < runEnd && quick);
        m.pc = pc;
    }
    m.instructionsExecuted.fetch_add(i, std::memory_order_relaxed);
}

bool drawWaitsForRefresh(const Chip8Machine& m) {
    switch (m.rules.displayWait) {
    case Chip8DisplayWait::Never: return false;
    case Chip8DisplayWait::Always: return true;
    case Chip8DisplayWait::LowResolutionOnly: return m.hiRes == 0;
    }
    return false;
}

void stepTimerOnce(std::uint8_t& timer) {
    if (timer != 0) {
        --timer;
    }
}

// A tick's start: both timers step once.
void beginTick(Chip8Machine& m) {
    ++m.ticksCompleted;
    stepTimerOnce(m.delayTimer);
    if (m.soundTimer != 0) {
        stepTimerOnce(m.soundTimer);
        reportSoundTimerChange(m, true);
    }
}

// Up to `most` of the current tick's instructions, under the "tRender" mutex so that
// the display shows the screen as whole ticks leave it and the tick's draws do not
// each wait for a render step (which would allow one draw per refresh, whatever the
// rules say). A draw that waits for the display refresh ends the tick, so the next
// draw comes a refresh later. The tick's progress is kept in the machine, so a tick
// that a pause or a single step interrupts goes on where it was.
void runTickInstructions(Chip8Machine& m, std::uint32_t most) {
    WorkerThread* const renderWorker = m.tickHoldsRender ? nullptr : m.renderWorker;
    lockFromOutside(renderWorker);
    const bool heldBefore = m.tickHoldsRender;
    m.tickHoldsRender = true;
    // Set only between two steps of the worker, so it holds for the whole run.
    InstructionWatch* const watch = m.watch;
    std::uint32_t done = m.tickInstructionsDone;
    std::uint32_t executed = 0;
    while (done < m.rules.instructionsPerTick && executed < most && !stepShouldEnd()) {
        if (watch != nullptr && watch->stopBefore()) {
            break;
        }
        // The tick begins with its first instruction, not before: a tick that a pause
        // or a stop ends before any instruction ran has not begun, and its timers have
        // not stepped.
        if (done == 0) {
            beginTick(m);
        }
        const std::uint16_t opcode = fetchAndExecute<true>(m);
        ++done;
        ++executed;
        if (watch != nullptr) {
            watch->after();
        }
        if ((opcode >> 12) == 0xD && drawWaitsForRefresh(m)) {
            done = m.rules.instructionsPerTick;
        }
    }
    m.tickInstructionsDone = done < m.rules.instructionsPerTick ? done : 0;
    m.tickHoldsRender = heldBefore;
    unlockFromOutside(renderWorker);
    m.instructionsExecuted.fetch_add(executed, std::memory_order_relaxed);
}

// One 1/60 s tick of a paced rule set: wait for the tick unless one is under way, then
// its instructions.
void runPacedTick(Chip8Machine& m) {
    if (m.tickInstructionsDone == 0) {
        waitForChip8Tick(m.lastTickStart, m.tickPacing);
    }
    runTickInstructions(m, m.rules.instructionsPerTick);
}
} // namespace

void executeChip8Instruction(Chip8Machine& m, std::uint16_t opcode) {
    // As for step(): the rules are read where the instruction needs them.
    std::uint16_t pc = m.pc;
    execute<true>(m, pc, opcode);
    m.pc = pc;
}

void stepChip8(Chip8Machine& m, std::uint64_t now) {
    step(m, now);
}

bool stepChip8Instruction(Chip8Machine& m, std::uint64_t now) {
    if (m.rules.instructionsPerTick != 0) {
        const std::uint64_t before = chip8InstructionsExecuted(m);
        runTickInstructions(m, 1);
        return chip8InstructionsExecuted(m) != before;
    }
    if (m.watch != nullptr && m.watch->stopBefore()) {
        return false;
    }
    stepChip8(m, now);
    m.instructionsExecuted.fetch_add(1, std::memory_order_relaxed);
    if (m.watch != nullptr) {
        m.watch->after();
    }
    return true;
}

void stepChip8Frame(Chip8Machine& m, std::uint64_t now) {
    if (m.rules.instructionsPerTick != 0) {
        runTickInstructions(m, m.rules.instructionsPerTick);
        return;
    }
    for (int i = 0; i < chip8BatchIterations; ++i) {
        if (!stepChip8Instruction(m, now)) {
            break;
        }
    }
}

void runChip8Batch(Chip8Machine& m) {
    if (m.rules.instructionsPerTick != 0) {
        runPacedTick(m);
    } else if (m.watch != nullptr) {
        // A debugger watches: every instruction is checked, and the timers follow the
        // clock at each.
        for (int i = 0; i < chip8BatchIterations && !stepShouldEnd(); ++i) {
            if (!stepChip8Instruction(m, elapsedNanoseconds())) {
                break;
            }
        }
    } else {
        runChip8Iterations(m, chip8BatchIterations);
    }
}

void runChip8Iterations(Chip8Machine& m, std::uint64_t count) {
    if (m.rules == quorvixRules) {
        runIterations<false>(m, count);
    } else {
        runIterations<true>(m, count);
    }
}

std::uint64_t chip8InstructionsExecuted(const Chip8Machine& m) {
    return m.instructionsExecuted.load(std::memory_order_relaxed);
}

// Paced rules count their ticks; the machine's own rules follow the host's clock, less
// the time the machine was not running.
void reportChip8SoundState(Chip8Machine& m) {
    if (!m.soundHook) {
        return;
    }
    SoundEvent pattern;
    pattern.kind = SoundEventKind::PatternLoaded;
    pattern.pattern = m.audioPattern;
    reportSound(m, pattern);
    SoundEvent pitch;
    pitch.kind = SoundEventKind::PitchSet;
    pitch.pitch = m.pitch;
    reportSound(m, pitch);
    SoundEvent timer;
    timer.kind = m.soundTimer != 0 ? SoundEventKind::TimerStarted : SoundEventKind::TimerStopped;
    timer.patterned = m.rules.xoChipInstructions;
    reportSound(m, timer);
}

std::uint64_t chip8EmulatedTime(const Chip8Machine& m) {
    if (m.rules.instructionsPerTick != 0) {
        return m.ticksCompleted * chip8TickNanoseconds;
    }
    return elapsedNanoseconds() - m.clockOffset;
}
