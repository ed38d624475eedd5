"""Planted faults for scripts/mutate.py: one-line changes that the fast test suites must
notice. Each entry is (file, exact original text, replacement) and may carry a fourth
element: the reason the change cannot alter behaviour, which lists it without running it.
The original text must occur exactly once in its file; an entry whose text is gone (the
code was edited) is an error to fix here, never a pass."""

MUTANTS = [
    # Chip-16 instructions.
    ("chip16/instructions.cpp", "if (rx == ry) {", "if (rx != ry) {"),  # JME
    ("chip16/instructions.cpp", "if (h.carry) {", "if (!h.carry) {"),  # JMC
    ("chip16/instructions.cpp", "case 0x16: h.pc = rx; break;", "case 0x16: break;"),  # JMP Rx
    ("chip16/instructions.cpp", "case 0x18: call(m, h, rx); break;", "case 0x18: call(m, h, immediate); break;"),
    ("chip16/instructions.cpp", "case 0x21: h.sp = immediate; break;", "case 0x21: break;"),  # LDI SP
    ("chip16/instructions.cpp", "case 0x22: rx = readChip16Word(m, immediate); break;",
     "case 0x22: rx = readChip16Word(m, ry); break;"),  # LDM immediate
    ("chip16/instructions.cpp", "case 0x06: drawSprite(m, h, rx, ry, m.R[z]); break;",
     "case 0x06: drawSprite(m, h, rx, ry, immediate); break;"),  # DRW R[Z]
    ("chip16/instructions.cpp", "case 0x31: writeChip16Word(m, ry, rx); break;",
     "case 0x31: writeChip16Word(m, immediate, rx); break;"),  # STM Rx, Ry
    ("chip16/instructions.cpp", "case 0x24: rx = ry; break;", "case 0x24: break;"),  # MOV
    ("chip16/instructions.cpp", "h.overflow = bit15(~(x ^ y) & (x ^ result));",
     "h.overflow = bit15((x ^ y) & (x ^ result));"),
    ("chip16/instructions.cpp", "h.carry = x < y;", "h.carry = x <= y;"),
    ("chip16/instructions.cpp", "case 0x7: return !h.carry && !h.zero;", "case 0x7: return !h.carry;"),
    ("chip16/instructions.cpp", "for (int i = 15; i >= 0; --i) {", "for (int i = 15; i > 0; --i) {"),
    # Chip-16 sprites, run loop, pacer, machine, loader, memory.
    ("chip16/graphics.cpp", "collision |= static_cast<std::uint8_t>((value != 0) & (below != 0));",
     "collision |= static_cast<std::uint8_t>((value != 0) & (below == 0));"),
    ("chip16/graphics.cpp", "pixels[2 * (rowBytes - 1 - i) + 1] = pair >> 4;",
     "pixels[2 * (rowBytes - 1 - i)] = pair >> 4;"),  # mirrored nibble order
    ("chip16/run_loop.cpp", "exact = std::min(exact, std::floor(chip16CyclesPerFrame - cycles) + 1.0);",
     "exact = std::min(exact, std::floor(chip16CyclesPerFrame - cycles) + 2.0);"),
    ("chip16/run_loop.cpp", "return static_cast<std::uint8_t>(m.keys.bits() & 0xFF);",
     "return static_cast<std::uint8_t>(m.keys.bits() & 0x7F);"),
    ("chip16/run_loop.cpp", "m.cycles -= chip16CyclesPerFrame;", "m.cycles = 0;"),
    ("chip16/run_loop.cpp", "constexpr std::uint32_t vblnk = 0x02;", "constexpr std::uint32_t vblnk = 0x00;"),
    ("chip16/frame_pacer.h", "framePeriodNanoseconds = 16'639'488;", "framePeriodNanoseconds = 16'666'667;"),
    ("workers/worker_thread.cpp", "        raiseWakeSignal(record.mutexRecord->stopSignal);\n", ""),
    ("workers/worker_thread.cpp", "prctl(PR_SET_TIMERSLACK, 1UL);", "(void)0;"),
    ("chip16/frame_pacer.cpp", "            lastTick = now;", "            lastTick += framePeriodNanoseconds;"),
    ("app/key_tables.cpp", "KEY_X,  KEY_Z,    KEY_C,    KEY_V,", "KEY_X,  KEY_Z,    KEY_V,    KEY_C,"),
    ("chip16/chip16_machine.cpp", "    m.flipVertical = 0;", ""),
    ("chip16/chip16_machine.cpp", "    m.cycles = 0.0;", ""),
    ("chip16/rom_loader.cpp", "        m.startAddress = header->startAddress;", ""),
    ("chip16/memory_access.h", "return static_cast<std::uint16_t>(low | (high << 8));",
     "return static_cast<std::uint16_t>(high | (low << 8));"),
    ("chip16/memory_access.h", "            word = __builtin_bswap32(word);", "",
     "only on big-endian hosts; this one is little-endian, so the branch is never taken"),
    # CHIP-8 interpreter, timers, machine, screen.
    ("chip8/interpreter.cpp", "V[0xF] = V[x] >= V[y] ? 1 : 0;", "V[0xF] = V[x] > V[y] ? 1 : 0;"),
    ("chip8/interpreter.cpp", "case 0x29: m.I = static_cast<std::uint16_t>((V[x] & 0xF) * 5); break;",
     "case 0x29: m.I = static_cast<std::uint16_t>((V[x] & 0xF) * 4); break;"),
    ("chip8/interpreter.cpp", "memoryAt<Variant>(m, m.I + i) = V[i];", "memoryAt<Variant>(m, m.I + i) = V[x];"),
    ("chip8/interpreter.cpp", "nnn + V[rulesOf<Variant>(m).jumpAddsVx ? x : 0]", "nnn + V[x]"),
    ("chip8/interpreter.cpp", "case 0xD: drawChip8Sprite(m, V[x], V[y], opcode & 0xF); break;",
     "case 0xD: drawChip8Sprite(m, V[y], V[x], opcode & 0xF); break;"),
    ("chip8/timers.h", "chip8TimerPeriodNanoseconds = 16'666'667;", "chip8TimerPeriodNanoseconds = 16'666'666;"),
    ("chip8/timers.h", "lastTick = timer == 0 ? 0 : now;", "lastTick = now;"),
    ("chip8/interpreter.cpp", "if ((m.delayTimer | m.soundTimer) != 0) {", "if (m.delayTimer != 0) {"),
    ("chip8/chip8_machine.cpp", "    m.soundTimer = 0;", ""),
    ("chip8/chip8_machine.cpp", "    m.sp = 0;", ""),
    ("chip8/chip8_machine.cpp", "    m.soundTimerLastTick = 0;", ""),
    ("app/key_tables.cpp", "KEY_Q, KEY_W, KEY_E, KEY_A, // 4 5 6 7", "KEY_Q, KEY_W, KEY_E, KEY_C, // 4 5 6 7"),
    ("chip8/screen.cpp", "if ((bits >> (columns - 1 - c)) & 1u) {", "if ((bits >> c) & 1u) {"),
    ("chip8/screen_moves.cpp", "lanesFrom<sizeof(Block) / laneCells - shift>", "lanesFrom<shift>"),
    ("chip8/screen_moves.cpp", "return (kept & ~mask) | (source & mask);", "return (kept & ~mask) | source;"),
    ("chip8/screen_moves.cpp", "baseScrollColumns = 4;", "baseScrollColumns = 2;"),
    ("chip8/reset_request.cpp", "if (!m.resetRequested.exchange(true, std::memory_order_acq_rel)) {", "if (true) {"),
    # Workers.
    ("workers/worker_thread.cpp", "        record.onStop();", ""),
    ("workers/worker_thread.cpp", "        record.onStart();", ""),
    ("workers/worker_thread.cpp", "holding = record.keepLocked != 0;", "holding = false;",
     "no step of the program sets keepLocked, so the mutex is never kept past a step"),
    ("workers/worker_thread.cpp", "    record.keepLocked = 0;\n    record.started = 0;", "    record.started = 0;",
     "createWorker only ever gets a newly made record, whose keepLocked is already 0"),
    ("workers/fair_mutex.cpp", "? nextTicket_ - nowServing_ - 1 : 0;", "? nextTicket_ - nowServing_ : 0;"),
    # Displays.
    ("display/chip8_display.cpp", "return {rim, core, core, rim};", "return {core, core, core, rim};"),
    ("display/chip8_display.cpp", "            last = cells;\n", ""),
    ("display/chip8_display.cpp", "    noteConverted(drawn_ ? changedColumns_.data() : nullptr);",
     "    noteConverted(changedColumns_.data());"),
    ("display/chip8_display.cpp", "_mm512_store_si512(rows[1] + at, middle);", "_mm512_store_si512(rows[1] + at, edge);"),
    ("display/chip8_display.h", "chip8UnlitColour = 0xFFBBCCFF;", "chip8UnlitColour = 0xFFBBCCFE;"),
    ("display/chip16_display.cpp", "last->valid && last->colours == colours;", "last->valid;"),
    ("display/chip16_display.cpp", "colours[0] = machine.palette[machine.backgroundColour & 0x0F];",
     "colours[0] = machine.palette[0];"),
    ("display/chip16_display.cpp", "_mm512_storeu_si512(at + 2 * step, texels);",
     "_mm512_storeu_si512(at + step + step / 2, texels);"),
    ("display/chip16_display.cpp", "_mm512_setr_epi32(5, 5, 6, 6, 6, 7,", "_mm512_setr_epi32(5, 6, 6, 6, 6, 7,"),
    ("display/picture_display.cpp", "    sleepNanoseconds(period - now % period);", "    sleepNanoseconds(period);"),
    # Start, stop and the shell's machine control.
    ("app/chip8_runtime.cpp", "    stopWorker(executeWorker_);\n    // The machine",
     "    stopWorker(renderWorker_);\n    stopWorker(executeWorker_);\n    // The machine"),  # stop order
    ("app/chip8_runtime.cpp", "    clearChip8ResetRequest(machine_);\n", ""),
    ("app/chip16_runtime.cpp", "    resetChip16(machine_);\n", ""),
    ("app/chip8_runtime.cpp", "        moveOn(machine_.delayTimerLastTick, pausedFor);\n", ""),
    ("app/chip8_runtime.cpp", "    if (paused()) {\n        std::this_thread::sleep_for(pausedPoll);\n        return;\n    }\n    runChip8Batch(machine_);",
     "    runChip8Batch(machine_);"),
    ("app/machine_control.cpp", "    mode_ = machineForRomName(lowered);", "    mode_ = MachineKind::Chip8;"),
    ("chip8/interpreter.cpp", "    m.tickInstructionsDone = done < m.rules.instructionsPerTick ? done : 0;",
     "    m.tickInstructionsDone = 0;"),
    ("chip16/run_loop.cpp", "    if (m.cycles > chip16CyclesPerFrame) {\n        passFrameBoundary(m, false);",
     "    if (m.cycles >= chip16CyclesPerFrame) {\n        passFrameBoundary(m, false);"),
    # Platform.
    ("machine/machine_keys.h", "bits_.fetch_and(~mask, std::memory_order_relaxed);", "bits_.fetch_and(mask, std::memory_order_relaxed);"),
    ("platform/clock.cpp", "        manualCounter.fetch_add(ns, std::memory_order_relaxed);",
     "        manualCounter.fetch_add(ns / 2, std::memory_order_relaxed);"),
    ("platform/random.cpp", "state.value = state.value * 214013u + 2531011u;",
     "state.value = state.value * 214013u + 2531013u;"),
    ("platform/rom_file.cpp", "if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {",
     "if (::fstat(file, &status) != 0) {"),
    # The picture widget takes a frame's changes only when they follow the frame before.
    ("platform/qt/picture_widget.cpp", "frame.sequence == lastSequence_ + 1 &&",
     "frame.sequence > lastSequence_ &&"),
    # Frames put into the X window through shared memory.
    ("platform/qt/x11_presenter.cpp", "                    --image.puts;", "                    (void)0;"),
    ("platform/qt/x11_presenter.cpp", "    if (shown_ != nullptr && shown_->puts == 0) {",
     "    if (false) {"),
    ("platform/qt/x11_presenter.cpp", "        const std::uint8_t sendEvent = i + 1 == rectangles_.size() ? 1 : 0;",
     "        const std::uint8_t sendEvent = 0;"),
    ("platform/qt/x11_presenter.cpp", "        if (x + width <= image.width && y + height <= image.height) {",
     "        if (x + width < image.width && y + height <= image.height) {"),
    ("platform/qt/picture_widget.cpp", "    presenter.markStale(frameChanges_);\n", ""),
    ("platform/qt/picture_widget.cpp", "    widenRows(unsent_, frameChanges_, paintWidth);\n", ""),
    ("platform/qt/picture_widget.cpp", "        windowCleared_ = true;\n", ""),
    ("platform/qt/picture_widget.cpp", "    if (shown->width != width || shown->height != height) {",
     "    if (false) {"),
    ("platform/qt/picture_widget.cpp", "    if (!cleared_ && putWhole(newest)) {", "    if (false) {"),
]
