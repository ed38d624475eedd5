#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_environment.h"
#include "fuzz/fuzz_targets.h"

#include "machine/machine_settings.h"

#include <string_view>

// ".c16", in any letter case of the C, anywhere in the path means Chip-16; the lowering
// is plain ASCII, so no byte of a longer character can make one.
int fuzzRomMachine(const std::uint8_t* data, std::size_t size) {
    prepareFuzzEnvironment();
    const std::string_view path(reinterpret_cast<const char*>(data), size);
    bool chip16 = false;
    for (std::size_t i = 0; i + 4 <= path.size(); ++i) {
        chip16 = chip16 || (path[i] == '.' && (path[i + 1] == 'c' || path[i + 1] == 'C') &&
                            path[i + 2] == '1' && path[i + 3] == '6');
    }
    FUZZ_CHECK(machineForRomName(path) == (chip16 ? MachineKind::Chip16 : MachineKind::Chip8));
    return 0;
}
