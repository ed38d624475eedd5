#include "platform/qt/pending_text.h"

#include <algorithm>
#include <cstring>

PendingText::PendingText(std::size_t maxLines, std::size_t maxBytes)
    : maxLines_(maxLines), maxBytes_(maxBytes) {}

void PendingText::append(std::string_view text) {
    text_.append(text);
    newlines_ += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    // Trimming only once the limits are passed by a quarter keeps the cost of erasing
    // the front of the buffer spread over many appends.
    if (newlines_ > maxLines_ + maxLines_ / 4 || text_.size() > maxBytes_ + maxBytes_ / 4) {
        trim();
    }
}

std::string PendingText::take() {
    newlines_ = 0;
    std::string taken;
    taken.swap(text_);
    return taken;
}

void PendingText::clear() {
    text_.clear();
    text_.shrink_to_fit();
    newlines_ = 0;
}

void PendingText::trim() {
    std::size_t cut = 0;
    // Whole lines that the console would scroll out of its buffer anyway.
    while (newlines_ > maxLines_) {
        const void* found = std::memchr(text_.data() + cut, '\n', text_.size() - cut);
        cut = static_cast<std::size_t>(static_cast<const char*>(found) - text_.data()) + 1;
        --newlines_;
    }
    // Very long lines: keep the newest maxBytes, starting at a line start when one
    // lies in that part.
    if (text_.size() - cut > maxBytes_) {
        std::size_t from = text_.size() - maxBytes_;
        const void* found = std::memchr(text_.data() + from, '\n', text_.size() - from);
        if (found != nullptr) {
            const auto lineStart =
                static_cast<std::size_t>(static_cast<const char*>(found) - text_.data()) + 1;
            if (lineStart < text_.size()) {
                from = lineStart;
            }
        }
        newlines_ -= static_cast<std::size_t>(
            std::count(text_.begin() + static_cast<std::ptrdiff_t>(cut),
                       text_.begin() + static_cast<std::ptrdiff_t>(from), '\n'));
        cut = from;
    }
    text_.erase(0, cut);
}
