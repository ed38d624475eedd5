#pragma once
// The Debugger window: the machine's registers, the disassembly around PC with its
// breakpoints, and memory in hex and ASCII. While the machine runs it refreshes at most
// ten times a second from a snapshot (Machine::view()); while it is paused the
// registers and memory can be edited, and the machine runs on with what was typed.

#include "machine/machine_view.h"

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class MachineControl;
class Machine;
class QCheckBox;
class QLabel;
class QLineEdit;
class QTableWidget;
class QTableWidgetItem;

class DebuggerWindow final : public QWidget {
  public:
    // Rows of the disassembly: this many before PC, the rest from PC on.
    static constexpr int rowsBeforePc = 6;
    static constexpr int disassemblyRows = 24;
    static constexpr int memoryRows = 16;

    explicit DebuggerWindow(MachineControl& control);

    // Reads the machine again. `stopped`: it has just stopped (a pause, a step, a
    // breakpoint), so the values now are the ones the next stop compares with.
    void refresh(bool stopped);
    // Called whenever the window was hidden (its close box too).
    void setHiddenHandler(std::function<void()> handler) { hiddenHandler_ = std::move(handler); }

    // A breakpoint on or off at the address, as a click on its row does.
    void toggleBreakpoint(std::uint32_t address);
    // Memory from this address on (rounded down to 16), no longer following I.
    void showMemoryAt(std::uint32_t address);

    QTableWidget* registerTable() const { return registers_; }
    QTableWidget* disassemblyTable() const { return disassembly_; }
    QTableWidget* memoryTable() const { return memory_; }
    QLabel* statusLabel() const { return status_; }
    QCheckBox* followICheck() const { return followI_; }
    QCheckBox* unknownOpcodeCheck() const { return stopOnUnknown_; }
    QCheckBox* exitInstructionCheck() const { return stopOnExit_; }
    // The row whose value was marked as changed since the last stop, by register name.
    bool isMarkedChanged(const QString& name) const;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void showRegisters(const MachineView& view, bool editable);
    void showDisassembly(const Machine& machine, const MachineView& view);
    void showMemory(const MachineView& view, bool editable);
    void registerEdited(QTableWidgetItem* item);
    void memoryEdited(QTableWidgetItem* item);
    void disassemblyClicked(int row);
    void applyStopChoices();
    std::uint32_t memoryBase(const MachineView& view) const;

    MachineControl& control_;
    QLabel* status_;
    QTableWidget* registers_;
    QTableWidget* disassembly_;
    QTableWidget* memory_;
    QLineEdit* memoryAddress_;
    QCheckBox* followI_;
    QCheckBox* stopOnUnknown_;
    QCheckBox* stopOnExit_;
    QTimer refreshTimer_;
    std::function<void()> hiddenHandler_;
    // The machine the values below belong to; another one starts them afresh.
    const Machine* shownMachine_ = nullptr;
    // Registers at the last stop and at the one before it.
    std::vector<RegisterValue> atLastStop_;
    std::vector<RegisterValue> atStopBefore_;
    // Instructions executed at the last stop, which tells one stop from the next.
    std::uint64_t lastStopCount_ = 0;
    std::uint32_t memoryShownFrom_ = 0;
    std::uint32_t memorySize_ = 0;
    bool updating_ = false;
};
