#pragma once
// --frames N and --seconds S: the two limits of a run, read strictly. A limit the run
// could never reach (a negative count wrapped round, NaN) or that does not fit is an
// error, not a run that never ends.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Decimal digits only, 0 to 18446744073709551615; no sign, no spaces.
std::optional<std::uint64_t> parseFrameLimit(std::string_view text);

// A decimal number of seconds, finite and not negative ("2", "0.5", "1e3"); no sign,
// spaces, hexadecimal, infinity or NaN, nor a value too large for a double ("1e400") or
// so small that it would read as 0 ("1e-400").
std::optional<double> parseSecondsLimit(std::string_view text);

// The argument as an error message quotes it: at most 32 characters, with anything that
// is not printable ASCII shown as '?', so the message stays one short line.
std::string quotedArgument(std::string_view text);

// --save-state FILE@FRAME: the file (the text before the last '@', not empty) and the
// refresh period at which the state is taken.
struct StateSave {
    std::string path;
    std::uint64_t frame = 0;
};
std::optional<StateSave> parseStateSave(std::string_view text);
