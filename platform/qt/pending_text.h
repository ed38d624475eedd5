#pragma once
// Console text that has been written but not shown yet. It keeps only the newest
// lines a console of maxLines lines could show anyway, and at most about maxBytes,
// so a flood of messages costs bounded memory. Not locked: its owner guards it.

#include <cstddef>
#include <string>
#include <string_view>

class PendingText {
  public:
    PendingText(std::size_t maxLines, std::size_t maxBytes);

    void append(std::string_view text);
    // Everything held, oldest first; leaves the buffer empty.
    std::string take();
    void clear();
    std::size_t size() const { return text_.size(); }

  private:
    void trim();

    std::size_t maxLines_;
    std::size_t maxBytes_;
    std::string text_;
    std::size_t newlines_ = 0;
};
