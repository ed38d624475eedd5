#include "platform/qt/console_window.h"

#include "platform/qt/console_sink_qt.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QScrollBar>
#include <QTextCursor>

namespace {
constexpr int flushIntervalMs = 50;
} // namespace

ConsoleWindow::ConsoleWindow(QtConsoleSink& sink) : sink_(sink) {
    setWindowTitle(QStringLiteral("Quorvix Console"));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setMaximumBlockCount(QtConsoleSink::keptLines);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    resize(720, 420);
    flushTimer_.setInterval(flushIntervalMs);
    connect(&flushTimer_, &QTimer::timeout, this, [this] { sink_.flush(); });
    flushTimer_.start();
}

void ConsoleWindow::appendText(std::string_view text) {
    QScrollBar* bar = verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    if (atBottom) {
        bar->setValue(bar->maximum());
    }
}

void ConsoleWindow::closeEvent(QCloseEvent* event) {
    // The window stays until the menu state follows; the sink destroys it then.
    event->ignore();
    sink_.userClosed();
}
