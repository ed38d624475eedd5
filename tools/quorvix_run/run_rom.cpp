#include "tools/quorvix_run/run_rom.h"

#include "app/chip8_runtime.h"
#include "app/machine_choices.h"
#include "app/state_transfer.h"
#include "chip16/frame_pacer.h"
#include "chip8/tick_pacer.h"
#include "display/picture_display.h"
#include "platform/clock.h"
#include "platform/command_ids.h"
#include "platform/console_log.h"
#include "platform/headless/headless_host.h"
#include "platform/rom_file.h"
#include "sound/sound_renderer.h"
#include "sound/wav_file.h"
#include "tools/quorvix_run/png_writer.h"
#include "tools/quorvix_run/run_sound.h"
#include "tools/quorvix_run/trace_lines.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {
constexpr std::uint64_t refreshPeriod = 16'666'667; // 60 Hz
// Limits and posted commands are looked at after every frame, and at least this often.
constexpr auto idleCheckInterval = std::chrono::milliseconds(10);

struct RunResult {
    bool loaded = true;
    // A state could not be written, or a --save-state frame was never reached.
    bool statesFailed = false;
    double seconds = 0;
    // --break: the machine stopped at the breakpoint.
    bool stoppedAtBreak = false;
};

bool breakFits(const RunOptions& options, const Machine& machine) {
    if (options.breakAddress && *options.breakAddress >= machine.memorySize()) {
        std::fprintf(stderr,
                     "quorvix-run: --break address 0x%X is outside the %u bytes of memory\n",
                     *options.breakAddress, machine.memorySize());
        return false;
    }
    return true;
}

// The --trace file, written by the machine's worker.
class TraceFile {
  public:
    explicit TraceFile(const std::string& path)
        : file_(path.empty() ? nullptr : std::fopen(path.c_str(), "w")) {}
    ~TraceFile() { close(); }
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    void write(const TracedInstruction& traced) {
        const std::string line = formatTraceLine(traced);
        std::fwrite(line.data(), 1, line.size(), file_);
    }
    // False when anything failed to reach the file.
    bool close() {
        if (file_ == nullptr) {
            return true;
        }
        const bool ok = std::ferror(file_) == 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        return ok && closed;
    }

  private:
    std::FILE* file_;
};

// Under Automatic the rules, and with them the memory, come with the ROM: a poke may
// address the largest memory any program gets.
bool pokesFit(const RunOptions& options, const MachineChoices& choices, const Machine& machine) {
    const std::uint32_t size = choices.automatic && machine.kind() == MachineKind::Chip8
                                   ? chip8LargestMemorySize
                                   : machine.memorySize();
    for (const Poke& poke : options.pokes) {
        if (poke.address >= size) {
            std::fprintf(stderr,
                         "quorvix-run: --poke address 0x%X is outside the %u bytes of memory\n",
                         poke.address, size);
            return false;
        }
    }
    return true;
}

// Refresh periods of the display clock passed since `start` (nanoseconds since
// program start), ticking where a present's refresh wait ends. Without that wait,
// frames can come faster than the clock, and each presented frame counts as well.
class DisplayClockCount {
  public:
    DisplayClockCount(bool noWait, std::uint64_t start) : noWait_(noWait), start_(start) {}

    std::uint64_t periods(std::uint64_t presented) const {
        const std::uint64_t ticks = elapsedNanoseconds() / refreshPeriod - start_ / refreshPeriod;
        return noWait_ ? std::max(ticks, presented) : ticks;
    }
    // How long until the next tick, at most idleCheckInterval and at least 1 ms.
    std::chrono::milliseconds untilNextTick() const {
        const std::uint64_t rest = refreshPeriod - elapsedNanoseconds() % refreshPeriod;
        const auto wait = std::chrono::milliseconds((rest + 999'999) / 1'000'000);
        return std::clamp(wait, std::chrono::milliseconds(1), idleCheckInterval);
    }

  private:
    bool noWait_;
    std::uint64_t start_;
};

// Stops whatever runs, reads and loads the ROM, restores the state to start from (given
// `stateRefused`, at the first start: a Reset starts the ROM from its beginning), writes
// the pokes and starts the machine; false when the ROM could not be read or the state
// was refused (which sets `stateRefused`); the machine then stays stopped.
bool startRom(const RunOptions& options, const MachineChoices& choices, Machine& machine,
              RomDigest& digest, bool* stateRefused, RunSound& sound) {
    machine.stop();
    const auto rom = readRomImage(options.romPath);
    if (auto* chip8 = dynamic_cast<Chip8Runtime*>(&machine)) {
        // At each start, as the window's Load and Reset: under Automatic the ROM is
        // looked up again.
        const Chip8Plan plan = planChip8Start(
            choices, rom ? std::optional<std::span<const std::uint8_t>>(*rom) : std::nullopt);
        logMachineChoices(MachineKind::Chip8, choices, plan);
        chip8->setRules(plan.rules);
        chip8->setRotation(plan.rotation);
    }
    if (!rom) {
        logMessage("Error: Rom not found!");
        return false;
    }
    digest = romDigestOf(*rom);
    machine.load(*rom);
    if (stateRefused != nullptr && !options.loadStatePath.empty()) {
        const StateOutcome outcome =
            loadStateFromFile(machine, digest, options.loadStatePath, options.loadStatePath);
        if (!outcome.done) {
            std::fprintf(stderr, "quorvix-run: %s\n", outcome.message.c_str());
            *stateRefused = true;
            return false;
        }
        logMessage("%s", outcome.message.c_str());
    }
    for (const Poke& poke : options.pokes) {
        machine.poke(poke.address, poke.value);
    }
    sound.startAt(machine);
    machine.start();
    return true;
}

// Writes the states whose refresh period has come; false when one could not be written.
bool saveDueStates(const RunOptions& options, const Machine& machine, const RomDigest& digest,
                   std::uint64_t frames, std::vector<bool>& saved) {
    bool ok = true;
    for (std::size_t i = 0; i < options.stateSaves.size(); ++i) {
        const StateSave& save = options.stateSaves[i];
        if (saved[i] || save.frame > frames) {
            continue;
        }
        saved[i] = true;
        const StateOutcome outcome = saveStateToFile(machine, digest, save.path, save.path);
        if (outcome.done) {
            logMessage("%s", outcome.message.c_str());
        } else {
            std::fprintf(stderr, "quorvix-run: %s\n", outcome.message.c_str());
            ok = false;
        }
    }
    return ok;
}

// Runs until a limit is reached, acting on the commands the machine posts to the
// window as the shell would: Reset starts the same ROM again.
RunResult runUntilLimit(const RunOptions& options, const MachineChoices& choices, Machine& machine,
                        RomDigest& digest, const headless::FrameSink& sink,
                        const DisplayClockCount& clock, RunSound& sound) {
    RunResult result;
    std::vector<bool> saved(options.stateSaves.size(), false);
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::uint64_t presented = sink.framesShown();
    for (;;) {
        // Counted by the clock, so a program whose frames the flicker filter holds
        // back still ends and still gets its keys.
        const std::uint64_t frames = clock.periods(presented);
        applyKeyHolds(options.keyHolds, frames, machine);
        for (const int posted : headless::takePostedCommands()) {
            if (posted != command::reset) {
                continue;
            }
            machine.stop();
            sound.restart(machine);
            if (!startRom(options, choices, machine, digest, nullptr, sound)) {
                result.loaded = false;
                result.seconds = elapsed();
                return result;
            }
        }
        if (!saveDueStates(options, machine, digest, frames, saved)) {
            result.statesFailed = true;
        }
        if (options.breakAddress && machine.lastStop() == StopReason::breakpoint) {
            result.stoppedAtBreak = true;
            break;
        }
        if ((options.frames && frames >= *options.frames) ||
            (options.seconds && elapsed() >= *options.seconds)) {
            break;
        }
        presented = sink.waitForFrameAfter(presented, clock.untilNextTick());
    }
    result.seconds = elapsed();
    for (std::size_t i = 0; i < saved.size(); ++i) {
        if (!saved[i]) {
            std::fprintf(stderr,
                         "quorvix-run: the run ended before frame %llu; no state was "
                         "written to %s\n",
                         static_cast<unsigned long long>(options.stateSaves[i].frame),
                         options.stateSaves[i].path.c_str());
            result.statesFailed = true;
        }
    }
    return result;
}

bool writeOutputs(const RunOptions& options, const Machine& machine,
                  const headless::FrameSink& sink, const RunResult& result,
                  std::uint64_t instructions, const RunSound& sound) {
    bool ok = true;
    if (!options.wavPath.empty()) {
        const auto samples = sound.recording().render(machine.emulatedNanoseconds());
        if (!writeWavFile(options.wavPath, samples, SoundRenderer::sampleRate)) {
            std::fprintf(stderr, "quorvix-run: cannot write %s\n", options.wavPath.c_str());
            ok = false;
        }
    }
    if (!options.screenshotPath.empty()) {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        const auto pixels = sink.lastFrame(&width, &height);
        if (pixels.empty()) {
            std::fprintf(stderr,
                         "quorvix-run: no frame was presented during the run, so no screenshot "
                         "was written%s\n",
                         options.flickerFilter ? " (the flicker filter was on)" : "");
            ok = false;
        } else if (!writePng(options.screenshotPath, pixels, width, height)) {
            std::fprintf(stderr, "quorvix-run: cannot write %s\n", options.screenshotPath.c_str());
            ok = false;
        }
    }
    if (options.screenText) {
        std::fputs(machine.screenText().c_str(), stdout);
    }
    if (options.stats) {
        const double perSecond =
            result.seconds > 0 ? static_cast<double>(instructions) / result.seconds : 0.0;
        std::printf("instructions: %llu\ninstructions per second: %.0f\nframes: %llu\n",
                    static_cast<unsigned long long>(instructions), perSecond,
                    static_cast<unsigned long long>(sink.framesShown()));
        std::fputs(machine.statsText().c_str(), stdout);
    }
    std::fflush(stdout);
    return ok;
}
} // namespace

int runRom(const RunOptions& options) {
    initClock();
    verboseConsole.store(options.log ? 1 : 0);
    const MachineKind kind = machineForRomName(options.romPath);
    MachineChoices choices = options.machine;
    choices.flickerFilter = options.flickerFilter;
    choices.realTimePacing = !options.noWait;

    const auto machine = makeMachine(kind, choices);
    if (!pokesFit(options, choices, *machine) || !breakFits(options, *machine)) {
        return 2; // a bad argument, as usage errors
    }
    RunSound sound(options);
    machine->setSoundHook(sound.hook());
    TraceFile trace(options.tracePath);
    if (!options.tracePath.empty()) {
        if (!trace.isOpen()) {
            std::fprintf(stderr, "quorvix-run: cannot write %s\n", options.tracePath.c_str());
            return 1;
        }
        machine->setTraceHook([&trace](const TracedInstruction& traced) { trace.write(traced); });
    }
    if (options.breakAddress) {
        machine->setBreakpoint(*options.breakAddress, true);
    }
    headless::FrameSink sink;
    sink.setRefreshPeriod(options.noWait ? 0 : refreshPeriod);
    setRefreshWaitEnabled(!options.noWait);
    headless::setMainSurface(&sink);

    RunResult result;
    const DisplayClockCount clock(options.noWait, elapsedNanoseconds());
    RomDigest digest{};
    bool stateRefused = false;
    if (startRom(options, choices, *machine, digest, &stateRefused, sound)) {
        result = runUntilLimit(options, choices, *machine, digest, sink, clock, sound);
    } else {
        result.loaded = false;
    }
    machine->stop();
    headless::setMainSurface(nullptr);

    if (!result.loaded) {
        if (!options.log && !stateRefused) {
            std::fprintf(stderr, "quorvix-run: cannot load %s\n", options.romPath.c_str());
        }
        return 1;
    }
    bool ok = trace.close();
    if (!ok) {
        std::fprintf(stderr, "quorvix-run: cannot write %s\n", options.tracePath.c_str());
    }
    if (options.breakAddress) {
        if (result.stoppedAtBreak) {
            const MachineView view = machine->view();
            std::fputs(formatBreakReport(view.pc, machine->disassemble(view.memory, view.pc),
                                         view.registers)
                           .c_str(),
                       stdout);
        } else {
            std::fprintf(stderr, "quorvix-run: the program did not reach 0x%X\n",
                         *options.breakAddress);
            ok = false;
        }
    }
    ok =
        writeOutputs(options, *machine, sink, result, machine->instructionsExecuted(), sound) && ok;
    return ok && !result.statesFailed ? 0 : 1;
}
