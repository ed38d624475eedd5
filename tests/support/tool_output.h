#pragma once

// What an executable under test leaves behind: its exit status and output, the pixels of
// a PNG it wrote.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Runs a shell command line; the exit status (-1 when the command did not exit normally)
// and everything it wrote on standard output.
std::pair<int, std::string> runCommand(const std::string& commandLine);

struct PngPixels {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint32_t> rgba; // 0xAABBGGRR; empty when the file cannot be read
};

PngPixels readPng(const std::string& path);
