#pragma once
// Sets of changed columns, one span per row, as the picture surface keeps them.

#include "platform/host.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// Every column of every row.
inline std::vector<FrameSpan> wholeRows(std::uint32_t width, std::uint32_t height) {
    return std::vector<FrameSpan>(height, FrameSpan{0, width});
}

// Widens each row's span to the smallest that also holds that row's change; `spans`
// starts whole when its size is not the number of rows.
inline void widenRows(std::vector<FrameSpan>& spans, const std::vector<FrameSpan>& changes,
                      std::uint32_t width) {
    if (spans.size() != changes.size()) {
        spans.assign(changes.size(), {0, width});
        return;
    }
    for (std::size_t y = 0; y < changes.size(); ++y) {
        FrameSpan& span = spans[y];
        const FrameSpan more = changes[y];
        if (more.first < more.end) {
            span = span.first < span.end
                       ? FrameSpan{std::min(span.first, more.first), std::max(span.end, more.end)}
                       : more;
        }
    }
}

// Calls take(x, y, width, height) for each rectangle of the rows' spans, top to bottom:
// neighbouring rows that changed in the same columns make one rectangle.
template <typename Take>
void forEachChangedRectangle(const std::vector<FrameSpan>& rows, Take take) {
    const std::size_t count = rows.size();
    for (std::size_t y = 0; y < count;) {
        const FrameSpan span = rows[y];
        const std::size_t first = y;
        while (y < count && rows[y] == span) {
            ++y;
        }
        if (span.first < span.end) {
            take(span.first, static_cast<std::uint32_t>(first), span.end - span.first,
                 static_cast<std::uint32_t>(y - first));
        }
    }
}
