#pragma once
// The main window's command ids: the menu items', plus 2, which the close box and
// the Escape key send. Workers post them too (the exit instruction posts Reset).

namespace command {
// An unscoped enumeration: the ids are ints on the wire (posted commands, QAction data),
// and the ranges below are computed with.
enum Id : int {
    cancel = 2,
    about = 104,
    exit = 105,
    load = 32771,
    reset = 32772,
    close = 32773,
    // "Window x1" to "Window x4" are windowScaleBase + 1 to windowScaleBase + 4.
    windowScaleBase = 32775,
    windowX1 = 32776,
    windowX4 = 32779,
    flickerFilter = 32782,
    showConsole = 32783,
    // The Screen menu's additions; 32784 stays without an item.
    fullscreen = 32785,
    keepAspectRatio = 32786,
    // The Machine menu: the CHIP-8 variants, one radio group in the order of Chip8Variant
    // (variantQuorvix + its value), the Speed submenu (the variant's own speed, then the
    // steps 7, 15, 30, 100, 200, 500 and 1000 instructions per 1/60 s) and the Chip-16
    // instruction set.
    variantQuorvix = 32800,
    variantChip8 = 32801,
    variantSuperChip = 32802,
    variantSuperChipLegacy = 32803,
    variantXoChip = 32804,
    // "Automatic (from the programs database)", the group's first item, and "Custom...",
    // the dialog of the CHIP-8 rule switches.
    variantAutomatic = 32805,
    customSwitches = 32806,
    chip16Extended = 32810,
    speedOwn = 32820,
    speedFirstStep = 32821,
    speedLastStep = 32827,
    // The Machine menu's Sound item and its Volume submenu (25, 50, 75 and 100 %).
    sound = 32830,
    volumeFirstStep = 32831,
    volumeLastStep = 32834,
    // The File menu's save states: a file chosen in a dialog, and slots 1-9 of the
    // "Save State" and "Load State" submenus (the base + the slot).
    saveStateAs = 32870,
    loadStateFrom = 32871,
    saveStateSlotBase = 32880,
    loadStateSlotBase = 32890,
    // The Debug menu, and what the machine posts when it paused itself (a breakpoint or
    // a chosen stop), which no menu item sends.
    debugPauseContinue = 32850,
    debugStepInstruction = 32851,
    debugStepFrame = 32852,
    showDebugger = 32853,
    debugStopped = 32854,
};
} // namespace command
