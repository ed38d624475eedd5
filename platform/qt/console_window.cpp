#include "platform/qt/console_window.h"

#include "platform/qt/console_sink_qt.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>

namespace {
constexpr int flushIntervalMs = 50;
// Up to this many lines are added to the end of the document; a larger batch rebuilds
// the document in one go, which costs far less than adding the lines and dropping as
// many old ones from the top.
constexpr qsizetype incrementalLines = 2000;

// The text from the start of its last `lines` lines on.
QString lastLines(const QString& text, qsizetype lines) {
    qsizetype from = text.size();
    for (qsizetype seen = 0; from > 0; --from) {
        if (text[from - 1] == QLatin1Char('\n') && ++seen == lines) {
            break;
        }
    }
    return from == 0 ? text : text.mid(from);
}
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
    connect(&flushTimer_, &QTimer::timeout, this, [this] {
        QElapsedTimer spent;
        spent.start();
        sink_.flush();
        // Under a flood of messages the window takes at most a third of the GUI
        // thread, so menu commands and the picture still get through.
        flushTimer_.setInterval(std::max<int>(flushIntervalMs, 2 * int(spent.elapsed())));
    });
    flushTimer_.start();
}

void ConsoleWindow::appendText(std::string_view text) {
    const QString added = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QScrollBar* bar = verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    if (added.count(QLatin1Char('\n')) <= incrementalLines) {
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(added);
    } else {
        const int scrolledTo = bar->value();
        setPlainText(lastLines(toPlainText() + added, QtConsoleSink::keptLines - 1));
        bar->setValue(scrolledTo);
    }
    if (atBottom) {
        bar->setValue(bar->maximum());
    }
}

void ConsoleWindow::closeEvent(QCloseEvent* event) {
    // The window stays until the menu state follows; the sink destroys it then.
    event->ignore();
    sink_.userClosed();
}
