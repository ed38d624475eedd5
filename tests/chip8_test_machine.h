#pragma once
// Running CHIP-8 programs on the test thread, without workers, and looking at the
// result as text.

#include "chip8/chip8_machine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Fresh memory with the fonts and `program` at 512, then a machine start's reset.
void loadChip8Program(const std::vector<std::uint8_t>& program);

// Runs `count` iterations at the clock's current time (the manual one when it is on).
void runChip8(std::uint64_t count);

// The screen as rows of '.' and '#': low resolution samples the top-left cell of each
// 2 x 2 block (64 x 32), high resolution shows every cell (128 x 64).
std::string chip8ScreenRows(bool highResolution);

// A black-and-white picture of `columns` x `rows` logical pixels read from a PNG that
// shows them scaled up: a pixel is lit when its block's centre is not the colour of
// the picture's bottom-right pixel. Empty when the file cannot be read.
std::string pictureRows(const std::filesystem::path& png, std::uint32_t columns,
                        std::uint32_t rows);

// Polls every millisecond until the condition holds; false only when it still does not
// after a minute, which guards against a hang rather than measuring speed.
bool waitUntil(const std::function<bool()>& condition);

// A fixture that captures the console with messages on, and puts the keyboard, the
// clock, the posted commands and the Reset request back afterwards.
class Chip8MachineTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Console text since the last call.
    std::string console();
};
