#pragma once

#include <vector>

// Several values of any integer types, to compare in one expectation.
template <typename... T> std::vector<int> ints(T... values) {
    return {static_cast<int>(values)...};
}
