// libFuzzer's entry point for one target, chosen at build time by QUORVIX_FUZZ_TARGET.

#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return QUORVIX_FUZZ_TARGET(data, size);
}
