#pragma once
// Golden files: exact texts kept in tests/golden/ and compared whole. With the
// environment variable QUORVIX_REBASELINE=1 the test writes the text it saw instead, and
// the change to the file is reviewed like code.

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

// Compares `text` with tests/golden/<name>, or rewrites that file when rebaselining.
void expectGolden(const std::string& name, const std::string& text);

// A screen text as quorvix-run --screen-text prints it, shortened without losing
// anything: the title line, then only the rows that are not all '0', each after its
// row number and without its trailing '0's.
std::string withoutBlankRows(const std::string& screenText);

// For suites of the external ROMs: skips the test when ../shared/roms is missing, but
// fails it when CI is set, so that a CI run never passes without them.
#define QUORVIX_REQUIRE_SHARED_ROMS()                                                              \
    do {                                                                                           \
        if (sharedRomFolder().empty()) {                                                           \
            if (std::getenv("CI") != nullptr) {                                                    \
                FAIL() << "CI is set but ../shared/roms is missing: the ROM suite must run";       \
            }                                                                                      \
            GTEST_SKIP() << "../shared/roms is not there: the ROM suite is skipped";               \
        }                                                                                          \
    } while (false)
