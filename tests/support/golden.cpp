#include "tests/support/golden.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

void expectGolden(const std::string& name, const std::string& text) {
    const std::filesystem::path path = std::filesystem::path(QUORVIX_GOLDEN_DIR) / name;
    const char* rebaseline = std::getenv("QUORVIX_REBASELINE");
    if (rebaseline != nullptr && std::string(rebaseline) == "1") {
        std::ofstream(path, std::ios::binary) << text;
        std::printf("rebaselined %s\n", path.c_str());
        return;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "no golden file " << path << ": run with QUORVIX_REBASELINE=1";
        return;
    }
    std::stringstream golden;
    golden << in.rdbuf();
    // Google Test shows the differing lines of the two texts.
    EXPECT_EQ(golden.str(), text) << path
                                  << " differs (QUORVIX_REBASELINE=1 rewrites it if the "
                                     "change is intended)";
}

std::string withoutBlankRows(const std::string& screenText) {
    std::istringstream rows(screenText);
    std::string row;
    std::getline(rows, row);
    std::string text = row + '\n';
    for (int number = 0; std::getline(rows, row); ++number) {
        const std::size_t end = row.find_last_not_of('0');
        if (end != std::string::npos) {
            text += std::to_string(number) + ' ' + row.substr(0, end + 1) + '\n';
        }
    }
    return text;
}
