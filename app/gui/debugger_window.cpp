#include "app/gui/debugger_window.h"

#include "app/machine_control.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace {
// At most ten refreshes a second while the machine runs.
constexpr int refreshIntervalMs = 100;
constexpr int bytesPerRow = 16;
const QColor pcRowColour(255, 240, 160);
const QColor changedColour(200, 0, 0);
const QColor breakpointColour(200, 0, 0);

QString hex(std::uint32_t value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

std::optional<std::uint32_t> parseHex(const QString& text) {
    QString digits = text.trimmed();
    if (digits.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        digits = digits.mid(2);
    }
    bool ok = false;
    const std::uint32_t value = digits.toUInt(&ok, 16);
    return ok && !digits.isEmpty() ? std::optional<std::uint32_t>(value) : std::nullopt;
}

QTableWidget* makeTable(int rows, const QStringList& columns, QWidget* parent) {
    auto* table = new QTableWidget(rows, static_cast<int>(columns.size()), parent);
    table->setHorizontalHeaderLabels(columns);
    table->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns.size(); ++column) {
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            table->setItem(row, column, item);
        }
    }
    return table;
}

void setEditable(QTableWidgetItem* item, bool editable) {
    const Qt::ItemFlags base = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    item->setFlags(editable ? base | Qt::ItemIsEditable : base);
}

const RegisterValue* findRegister(const std::vector<RegisterValue>& registers,
                                  const std::string& name) {
    for (const RegisterValue& r : registers) {
        if (r.name == name) {
            return &r;
        }
    }
    return nullptr;
}
} // namespace

DebuggerWindow::DebuggerWindow(MachineControl& control) : control_(control) {
    setWindowTitle(QStringLiteral("Quorvix Debugger"));
    status_ = new QLabel(this);
    registers_ = makeTable(0, {QStringLiteral("Register"), QStringLiteral("Value")}, this);
    registers_->verticalHeader()->hide();
    registers_->setMinimumWidth(170);
    disassembly_ = makeTable(disassemblyRows,
                             {QString(), QStringLiteral("Address"), QStringLiteral("Bytes"),
                              QStringLiteral("Instruction")},
                             this);
    disassembly_->verticalHeader()->hide();
    disassembly_->setToolTip(QStringLiteral(
        "Click the first column, double-click a row or press F9 to toggle a breakpoint"));
    disassembly_->setColumnWidth(0, 24);
    disassembly_->horizontalHeader()->setStretchLastSection(true);
    QStringList memoryColumns;
    for (int i = 0; i < bytesPerRow; ++i) {
        memoryColumns << hex(static_cast<std::uint32_t>(i), 1);
    }
    memoryColumns << QStringLiteral("ASCII");
    memory_ = makeTable(memoryRows, memoryColumns, this);
    for (int i = 0; i < bytesPerRow; ++i) {
        memory_->setColumnWidth(i, memory_->fontMetrics().horizontalAdvance(QStringLiteral("000")));
    }
    memory_->horizontalHeader()->setStretchLastSection(true);
    memoryAddress_ = new QLineEdit(this);
    memoryAddress_->setPlaceholderText(QStringLiteral("address (hex)"));
    followI_ = new QCheckBox(QStringLiteral("Follow I"), this);
    followI_->setChecked(true);
    stopOnUnknown_ = new QCheckBox(QStringLiteral("Stop on unknown opcode"), this);
    stopOnExit_ = new QCheckBox(QStringLiteral("Stop on exit instruction (00FD)"), this);
    stopOnUnknown_->setChecked(control_.stopChoices().onUnknownOpcode);
    stopOnExit_->setChecked(control_.stopChoices().onExitInstruction);

    auto* memoryBar = new QHBoxLayout;
    memoryBar->addWidget(new QLabel(QStringLiteral("Memory at"), this));
    memoryBar->addWidget(memoryAddress_);
    memoryBar->addWidget(followI_);
    auto* stops = new QHBoxLayout;
    stops->addWidget(stopOnUnknown_);
    stops->addWidget(stopOnExit_);
    stops->addStretch();
    auto* grid = new QGridLayout(this);
    grid->addWidget(status_, 0, 0, 1, 2);
    grid->addWidget(registers_, 1, 0, 3, 1);
    grid->addWidget(disassembly_, 1, 1);
    grid->addLayout(memoryBar, 2, 1);
    grid->addWidget(memory_, 3, 1);
    grid->addLayout(stops, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    resize(820, 760);

    connect(registers_, &QTableWidget::itemChanged, this,
            [this](QTableWidgetItem* item) { registerEdited(item); });
    connect(memory_, &QTableWidget::itemChanged, this,
            [this](QTableWidgetItem* item) { memoryEdited(item); });
    connect(disassembly_, &QTableWidget::cellClicked, this, [this](int row, int column) {
        if (column == 0) {
            disassemblyClicked(row);
        }
    });
    connect(disassembly_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { disassemblyClicked(row); });
    connect(memoryAddress_, &QLineEdit::returnPressed, this, [this] {
        if (const auto address = parseHex(memoryAddress_->text())) {
            showMemoryAt(*address);
        }
    });
    connect(followI_, &QCheckBox::toggled, this, [this] { refresh(false); });
    connect(stopOnUnknown_, &QCheckBox::toggled, this, [this] { applyStopChoices(); });
    connect(stopOnExit_, &QCheckBox::toggled, this, [this] { applyStopChoices(); });
    refreshTimer_.setInterval(refreshIntervalMs);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] {
        // Paused, nothing changes but by the user's own steps and edits, which refresh.
        const Machine* machine = control_.machine();
        if (machine != nullptr && machine->running() && !machine->paused()) {
            refresh(false);
        }
    });
}

void DebuggerWindow::refresh(bool stopped) {
    Machine* machine = control_.machine();
    if (machine != shownMachine_) {
        shownMachine_ = machine;
        atLastStop_.clear();
        atStopBefore_.clear();
    }
    if (machine == nullptr) {
        status_->setText(QStringLiteral("No program"));
        return;
    }
    const MachineView view = machine->view();
    // The same stop may be reported twice (the menu's step and the machine's own post).
    if (stopped && (atLastStop_.empty() || view.instructionsExecuted != lastStopCount_)) {
        atStopBefore_ = atLastStop_.empty() ? view.registers : atLastStop_;
        atLastStop_ = view.registers;
        lastStopCount_ = view.instructionsExecuted;
    }
    const bool paused = machine->paused() || !machine->running();
    QString state = !machine->running() ? QStringLiteral("Stopped")
                    : paused            ? QStringLiteral("Paused")
                                        : QStringLiteral("Running");
    if (machine->paused() && machine->lastStop() != StopReason::none) {
        state += QStringLiteral(" at a ") + QString::fromUtf8(stopReasonName(machine->lastStop()));
    }
    status_->setText(QStringLiteral("%1, PC %2, %3 instructions")
                         .arg(state, hex(view.pc, 4))
                         .arg(view.instructionsExecuted));
    updating_ = true;
    showRegisters(view, paused);
    showDisassembly(*machine, view);
    showMemory(view, paused);
    updating_ = false;
}

void DebuggerWindow::showRegisters(const MachineView& view, bool editable) {
    // Marked: changed since the last stop; at a stop, changed since the one before.
    const bool atStop = !atLastStop_.empty() && atLastStop_ == view.registers;
    const std::vector<RegisterValue>& compareWith = atStop ? atStopBefore_ : atLastStop_;
    registers_->setRowCount(static_cast<int>(view.registers.size()));
    for (int row = 0; row < registers_->rowCount(); ++row) {
        const RegisterValue& r = view.registers[static_cast<std::size_t>(row)];
        QTableWidgetItem* name = registers_->item(row, 0);
        QTableWidgetItem* value = registers_->item(row, 1);
        if (name == nullptr) {
            name = new QTableWidgetItem;
            value = new QTableWidgetItem;
            registers_->setItem(row, 0, name);
            registers_->setItem(row, 1, value);
        }
        name->setText(QString::fromStdString(r.name));
        setEditable(name, false);
        value->setText(hex(r.value, r.digits));
        setEditable(value, editable);
        const RegisterValue* before = findRegister(compareWith, r.name);
        const bool changed = before != nullptr && before->value != r.value;
        QFont font = registers_->font();
        font.setBold(changed);
        value->setFont(font);
        value->setForeground(changed ? QBrush(changedColour) : QBrush());
        value->setData(Qt::UserRole, changed);
    }
}

void DebuggerWindow::showDisassembly(const Machine& machine, const MachineView& view) {
    // Instructions before PC cannot be told apart reliably, so those rows step back by
    // the common length (2 bytes for CHIP-8, 4 for Chip-16); from PC on, each row takes
    // the length of its instruction.
    const std::uint32_t size = static_cast<std::uint32_t>(view.memory.size());
    if (size == 0) {
        return;
    }
    const std::uint32_t step = machine.kind() == MachineKind::Chip16 ? 4 : 2;
    const std::uint32_t pc = view.pc % size;
    std::uint32_t address = (pc + size - rowsBeforePc * step) % size;
    const std::vector<std::uint32_t> breakpoints = machine.breakpoints();
    for (int row = 0; row < disassemblyRows; ++row) {
        const InstructionText instruction = machine.disassemble(view.memory, address);
        QString bytes;
        for (const std::uint8_t byte : instruction.bytes) {
            bytes += hex(byte, 2) + QLatin1Char(' ');
        }
        const bool atBreakpoint =
            std::find(breakpoints.begin(), breakpoints.end(), address) != breakpoints.end();
        const bool atPc = address == pc;
        disassembly_->item(row, 0)->setText(atBreakpoint ? QStringLiteral("\u25CF") : QString());
        disassembly_->item(row, 0)->setForeground(QBrush(breakpointColour));
        disassembly_->item(row, 1)->setText(
            (atPc ? QStringLiteral("\u25B6") : QStringLiteral(" ")) + hex(address, 4));
        disassembly_->item(row, 2)->setText(bytes.trimmed());
        disassembly_->item(row, 3)->setText(QString::fromStdString(instruction.text));
        for (int column = 0; column < 4; ++column) {
            QTableWidgetItem* item = disassembly_->item(row, column);
            item->setData(Qt::UserRole, address);
            item->setBackground(atPc ? QBrush(pcRowColour) : QBrush());
        }
        const auto length =
            row < rowsBeforePc
                ? step
                : std::max<std::uint32_t>(static_cast<std::uint32_t>(instruction.bytes.size()), 1);
        address = (address + length) % size;
    }
}

std::uint32_t DebuggerWindow::memoryBase(const MachineView& view) const {
    if (followI_->isChecked() && followI_->isEnabled()) {
        if (const RegisterValue* i = findRegister(view.registers, "I")) {
            return i->value & ~std::uint32_t{bytesPerRow - 1};
        }
    }
    return memoryShownFrom_;
}

void DebuggerWindow::showMemory(const MachineView& view, bool editable) {
    const bool hasI = findRegister(view.registers, "I") != nullptr;
    followI_->setEnabled(hasI);
    memorySize_ = static_cast<std::uint32_t>(view.memory.size());
    if (memorySize_ == 0) {
        return;
    }
    const std::uint32_t base = memoryBase(view) % memorySize_;
    for (int row = 0; row < memoryRows; ++row) {
        const std::uint32_t rowAddress = (base + std::uint32_t(row) * bytesPerRow) % memorySize_;
        if (memory_->verticalHeaderItem(row) == nullptr) {
            memory_->setVerticalHeaderItem(row, new QTableWidgetItem);
        }
        memory_->verticalHeaderItem(row)->setText(hex(rowAddress, 4));
        QString ascii;
        for (int column = 0; column < bytesPerRow; ++column) {
            const std::uint32_t address = (rowAddress + std::uint32_t(column)) % memorySize_;
            const std::uint8_t byte = view.memory[address];
            QTableWidgetItem* item = memory_->item(row, column);
            item->setText(hex(byte, 2));
            item->setData(Qt::UserRole, address);
            setEditable(item, editable);
            ascii += byte >= 0x20 && byte < 0x7F ? QChar(byte) : QLatin1Char('.');
        }
        memory_->item(row, bytesPerRow)->setText(ascii);
    }
}

void DebuggerWindow::registerEdited(QTableWidgetItem* item) {
    Machine* machine = control_.machine();
    if (updating_ || machine == nullptr || item->column() != 1) {
        return;
    }
    const QTableWidgetItem* name = registers_->item(item->row(), 0);
    if (const auto value = parseHex(item->text()); value && name != nullptr) {
        machine->setRegister(name->text().toStdString(), *value);
    }
    refresh(false);
}

void DebuggerWindow::memoryEdited(QTableWidgetItem* item) {
    Machine* machine = control_.machine();
    if (updating_ || machine == nullptr || item->column() >= bytesPerRow) {
        return;
    }
    if (const auto value = parseHex(item->text()); value && *value <= 0xFF) {
        machine->poke(item->data(Qt::UserRole).toUInt(), static_cast<std::uint8_t>(*value));
    }
    refresh(false);
}

void DebuggerWindow::disassemblyClicked(int row) {
    if (const QTableWidgetItem* item = disassembly_->item(row, 1)) {
        toggleBreakpoint(item->data(Qt::UserRole).toUInt());
    }
}

void DebuggerWindow::toggleBreakpoint(std::uint32_t address) {
    const bool on = control_.breakpoints().count(address) == 0;
    control_.setBreakpoint(address, on);
    refresh(false);
}

void DebuggerWindow::showMemoryAt(std::uint32_t address) {
    memoryShownFrom_ = address & ~std::uint32_t{bytesPerRow - 1};
    memoryAddress_->setText(hex(memoryShownFrom_, 4));
    followI_->setChecked(false);
    refresh(false);
}

void DebuggerWindow::applyStopChoices() {
    control_.setStopChoices({stopOnUnknown_->isChecked(), stopOnExit_->isChecked()});
}

bool DebuggerWindow::isMarkedChanged(const QString& name) const {
    for (int row = 0; row < registers_->rowCount(); ++row) {
        if (registers_->item(row, 0)->text() == name) {
            return registers_->item(row, 1)->data(Qt::UserRole).toBool();
        }
    }
    return false;
}

void DebuggerWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh(false);
    refreshTimer_.start();
}

void DebuggerWindow::hideEvent(QHideEvent* event) {
    refreshTimer_.stop();
    QWidget::hideEvent(event);
    // Sent once the window is hidden, however that came about (the close box too).
    if (hiddenHandler_) {
        hiddenHandler_();
    }
}

void DebuggerWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F9 && disassembly_->currentRow() >= 0) {
        disassemblyClicked(disassembly_->currentRow());
        return;
    }
    QWidget::keyPressEvent(event);
}
