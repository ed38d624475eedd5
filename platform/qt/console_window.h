#pragma once
// The Console window: a top-level, read-only, monospace text view that shows what
// the console sink collects, appended at most every 50 ms.

#include <QPlainTextEdit>
#include <QTimer>

#include <string_view>

class QtConsoleSink;

class ConsoleWindow final : public QPlainTextEdit {
  public:
    explicit ConsoleWindow(QtConsoleSink& sink);

    // Appends text at the end, keeping the view at the bottom when it was there.
    void appendText(std::string_view text);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QtConsoleSink& sink_;
    QTimer flushTimer_;
};
