#pragma once
// The main window's command ids: the menu items', plus 2, which the close box and
// the Escape key send. Workers post them too (the exit instruction posts Reset).

namespace command {
constexpr int cancel = 2;
constexpr int about = 104;
constexpr int exit = 105;
constexpr int load = 32771;
constexpr int reset = 32772;
constexpr int close = 32773;
// "Window x1" to "Window x4" are windowScaleBase + 1 to windowScaleBase + 4.
constexpr int windowScaleBase = 32775;
constexpr int windowX1 = 32776;
constexpr int windowX4 = 32779;
constexpr int flickerFilter = 32782;
constexpr int showConsole = 32783;
// The Machine menu: the CHIP-8 variants, one radio group in the order of Chip8Variant
// (variantQuorvix + its value), the Speed submenu (the variant's own speed, then the
// steps 7, 15, 30, 100, 200, 500 and 1000 instructions per 1/60 s) and the Chip-16
// instruction set.
constexpr int variantQuorvix = 32800;
constexpr int variantChip8 = 32801;
constexpr int variantSuperChip = 32802;
constexpr int variantSuperChipLegacy = 32803;
constexpr int variantXoChip = 32804;
constexpr int speedOwn = 32820;
constexpr int speedFirstStep = 32821;
constexpr int speedLastStep = 32827;
constexpr int chip16Extended = 32810;
} // namespace command
