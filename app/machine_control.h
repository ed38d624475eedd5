#pragma once
// The switchboard that decides which machine runs: the start sequence shared by Load,
// Reset and the command-line start, and Close. One per window; GUI thread only.

#include "app/machine_choices.h"
#include "app/save_state.h"
#include "machine/machine.h"
#include "sound/live_sound.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

// Records the clock base; first thing at start.
void initStartUp();

// The file dialog hands over at most this many characters of path and of file name
// (its buffers of 1024 and 128 characters, each with its terminating zero).
constexpr std::size_t maxChosenPathLength = 1022;
constexpr std::size_t maxChosenNameLength = 126;

class MachineControl {
  public:
    MachineControl() = default;
    ~MachineControl() { closeRom(); }
    MachineControl(const MachineControl&) = delete;
    MachineControl& operator=(const MachineControl&) = delete;

    // The command line: the first argument, already unquoted by the shell, names the
    // ROM; romPath and romFileTitle both become that text. No argument means no ROM.
    void takeRomFromCommandLine(int argc, const char* const* argv);

    // Chip-16 when romFileTitle, lower-cased, contains ".c16" anywhere; Chip-8
    // otherwise. Logs "Loading: <lower-cased name>\nEmulator Mode: <mode name>".
    void detectEmulatorMode();

    // Stops the machine, detects the mode, makes a machine of that mode by the user's
    // choices and starts it on romPath; with "Error: Rom not found!" when the file
    // cannot be read, and then nothing runs.
    void startCurrentRom();

    // The part of Load after the file dialog: the chosen path and its file name become
    // romPath and romFileTitle, then the start sequence; the caller then resizes the
    // window. A choice longer than the dialog's buffers counts as a failed dialog:
    // false, and nothing changes.
    bool startChosenRom(const std::string& path, const std::string& fileName);

    // A file dropped on the window: the path and its file name become romPath and
    // romFileTitle, then the start sequence. No dialog buffer is involved, so a name of
    // any length loads (the name only chooses the machine and goes into "Loading:").
    void startDroppedRom(const std::string& path, const std::string& fileName);

    // Reads the ROM file again and starts it from its beginning.
    void resetRom();

    // Stops the machine and drops a Reset that the exit instruction posted and that is
    // still queued; the ROM names and the mode are kept so that Reset restarts it.
    void closeRom();

    // Which machine the current ROM drives (Chip-16 before any ROM, as the window's
    // first size has it).
    MachineKind mode() const { return mode_; }
    // The machine that runs or last ran, or null (before a start, after a failed one).
    Machine* machine() { return machine_.get(); }
    const std::string& romPath() const { return romPath_; }
    // The SHA-1 of the ROM file the machine was started with, which names its states.
    const RomDigest& romDigest() const { return romDigest_; }
    const std::string& romFileTitle() const { return romFileTitle_; }

    const MachineChoices& choices() const { return choices_; }
    // What the last CHIP-8 start (or any start since) ran by: under Automatic the
    // programs database's rules, and the picture's rotation.
    const Chip8Plan& chip8Plan() const { return chip8Plan_; }
    // Reach the machine at its next start.
    void setChoices(const MachineChoices& choices) { choices_ = choices; }
    // Takes effect at once, on the running machine too.
    void setFlickerFilter(bool on);

    // Where each machine started from now on reports its sound; null for none. Close
    // and Reset silence it at once.
    void setSound(LiveSound* sound) { sound_ = sound; }
    // Pause and Continue of the running machine, the one way the window pauses it: its
    // sound holds with it (silent while paused) and plays on at Continue.
    void setPaused(bool paused);
    // After the machine paused itself (a breakpoint, a chosen stop): its sound holds
    // too, unless it runs again by now.
    void holdSoundWhilePaused();
    // The debugger's breakpoints and stop choices: they reach the running machine at
    // once and every machine a start makes for the same ROM (Load of another file drops
    // the breakpoints). A machine that pauses itself posts command::debugStopped.
    void setBreakpoint(std::uint32_t address, bool on);
    const std::set<std::uint32_t>& breakpoints() const { return breakpoints_; }
    void setStopChoices(const StopChoices& choices);
    const StopChoices& stopChoices() const { return stopChoices_; }

    // A PC key (its input code, app/key_tables.h) went down or up. True when it is a key
    // of the current machine; a machine started later finds the keys still held.
    bool setInputKey(int inputCode, bool down);
    void releaseKeys();

  private:
    std::string romPath_;
    std::string romFileTitle_;
    MachineKind mode_ = MachineKind::Chip16;
    MachineChoices choices_;
    Chip8Plan chip8Plan_;
    std::unique_ptr<Machine> machine_;
    RomDigest romDigest_{};
    std::set<int> heldInputKeys_;
    LiveSound* sound_ = nullptr;
    std::set<std::uint32_t> breakpoints_;
    StopChoices stopChoices_;
};
