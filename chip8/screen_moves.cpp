// 00E0 and the scrolls: every cell of the buffer is read and written in blocks as wide
// as the processor stores at once (see screen_cells.h), chosen once when the program
// loads.

#include "chip8/chip8_machine.h"
#include "chip8/screen.h"
#include "chip8/screen_cells.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

// The block helpers below take and return vectors wider than the default target's
// registers; each is inlined into the one function built for its width, so the calling
// convention the compiler warns about is never used.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {
// Blocks of 8, 16, 32 or 64 neighbouring cells as vectors of 32-bit lanes (four cells
// a lane, the first cell in the low byte). Clears and scrolls on "tExecute" read them
// plainly and write each block with one store that never splits a cell.
using CellBlock8 [[gnu::vector_size(8)]] = std::uint32_t;
using CellBlock16 [[gnu::vector_size(16)]] = std::uint32_t;
using CellBlock32 [[gnu::vector_size(32)]] = std::uint32_t;
using CellBlock64 [[gnu::vector_size(64)]] = std::uint32_t;

// The cells from `index` on; only "tExecute", the one writer, may read them plainly.
template <class Block>
[[gnu::always_inline]] inline Block loadCellBlock(const Chip8Machine& machine, std::size_t index) {
    Block block;
    std::memcpy(&block, machine.screen.data() + index, sizeof(Block));
    return block;
}

// Eight cells as one relaxed atomic word: the portable store, and the one a thread
// sanitizer can check against the reads on "tRender".
[[gnu::always_inline]] inline void storeCellBlock(Chip8Machine& machine, std::size_t index,
                                                  const CellBlock8& block) {
    auto* word = reinterpret_cast<ScreenWord*>(machine.screen.data() + index);
    __atomic_store_n(word, std::bit_cast<std::uint64_t>(block), __ATOMIC_RELAXED);
}

// Wide stores on x86-64 built by GCC, which checks an assembly operand's size where the
// helper is inlined into the function built for that width (clang checks it in the
// helper itself). A thread-sanitized build keeps to the word stores, which the
// sanitizer sees.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define QUORVIX_WIDE_CELL_STORES 1
#else
#define QUORVIX_WIDE_CELL_STORES 0
#endif
#if defined(__SANITIZE_THREAD__)
#undef QUORVIX_WIDE_CELL_STORES
#define QUORVIX_WIDE_CELL_STORES 0
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#undef QUORVIX_WIDE_CELL_STORES
#define QUORVIX_WIDE_CELL_STORES 0
#endif
#endif

#if QUORVIX_WIDE_CELL_STORES
// Wider blocks are one aligned vector store each, written in assembly because C++ has
// no relaxed atomic store wider than a word. A cell is one byte, and the processor
// writes every byte of a store whole, so a reader's relaxed byte load sees each cell
// either before or after the store, never a mix: the guarantee a relaxed atomic byte
// store gives, which is all the renderer relies on. `index` is a multiple of the width.
[[gnu::always_inline]] inline void storeCellBlock(Chip8Machine& machine, std::size_t index,
                                                  const CellBlock16& block) {
    auto* to = reinterpret_cast<CellBlock16*>(machine.screen.data() + index);
    asm volatile("movdqa %1, %0" : "=m"(*to) : "x"(block));
}

[[gnu::always_inline]] inline void storeCellBlock(Chip8Machine& machine, std::size_t index,
                                                  const CellBlock32& block) {
    auto* to = reinterpret_cast<CellBlock32*>(machine.screen.data() + index);
    asm volatile("vmovdqa %1, %0" : "=m"(*to) : "x"(block));
}

[[gnu::always_inline]] inline void storeCellBlock(Chip8Machine& machine, std::size_t index,
                                                  const CellBlock64& block) {
    auto* to = reinterpret_cast<CellBlock64*>(machine.screen.data() + index);
    asm volatile("vmovdqa64 %1, %0" : "=m"(*to) : "v"(block));
}
#endif

constexpr std::size_t rowCells = chip8ScreenWidth;
constexpr std::size_t screenCells = std::size_t{chip8ScreenWidth} * chip8ScreenHeight;
constexpr std::uint32_t baseScrollColumns = 4;
constexpr std::size_t laneCells = 4;

enum class Move { clear, down, up, right, left };

// The selected planes' bits in each cell of a block.
template <class Block> [[gnu::always_inline]] inline Block planeMask(const Chip8Machine& machine) {
    Block mask{};
    for (std::size_t lane = 0; lane < sizeof(Block) / laneCells; ++lane) {
        mask[lane] = machine.planes * 0x0101'0101u;
    }
    return mask;
}

// A block after a clear or scroll of the selected planes (`mask`): `source`'s pixels in
// those planes, `kept`'s in the others.
template <class Block>
[[gnu::always_inline]] inline Block mergePlanes(const Block& kept, const Block& source,
                                                const Block& mask) {
    return (kept & ~mask) | (source & mask);
}

template <class Block>
[[gnu::always_inline]] inline void clearCells(Chip8Machine& machine, std::size_t first,
                                              std::size_t count, const Block& mask) {
#pragma GCC unroll 4
    for (std::size_t at = first; at < first + count; at += sizeof(Block)) {
        storeCellBlock(machine, at, loadCellBlock<Block>(machine, at) & ~mask);
    }
}

// Rows move by `distance` rows towards the bottom or the top; the rows they leave are
// cleared in the selected planes.
template <class Block>
[[gnu::always_inline]] inline void moveRows(Chip8Machine& machine, std::size_t distance, bool down,
                                            const Block& mask) {
    const std::size_t gap = distance * rowCells;
    if (down) {
        // From the bottom up, so that every block is read before it is overwritten.
#pragma GCC unroll 4
        for (std::size_t at = screenCells; at > gap;) {
            at -= sizeof(Block);
            const Block source = loadCellBlock<Block>(machine, at - gap);
            storeCellBlock(machine, at,
                           mergePlanes(loadCellBlock<Block>(machine, at), source, mask));
        }
        clearCells(machine, 0, gap, mask);
        return;
    }
#pragma GCC unroll 4
    for (std::size_t at = 0; at + gap < screenCells; at += sizeof(Block)) {
        const Block source = loadCellBlock<Block>(machine, at + gap);
        storeCellBlock(machine, at, mergePlanes(loadCellBlock<Block>(machine, at), source, mask));
    }
    clearCells(machine, screenCells - gap, gap, mask);
}

// The lanes of `low` followed by `high` from lane `Shift` on: a block seen `Shift` lanes
// further along a row.
template <std::size_t Shift, class Block, std::size_t... Lane>
[[gnu::always_inline]] inline Block lanesFrom(const Block& low, const Block& high,
                                              std::index_sequence<Lane...> /*lanes*/) {
    if constexpr (Shift >= sizeof...(Lane)) {
        return high;
    } else {
        return __builtin_shufflevector(low, high, (Lane + Shift)...);
    }
}

// Every row's cells move `Columns` towards its end (`Right`) or its start; 0 comes in
// from outside the row, and only the selected planes move.
template <class Block, std::size_t Columns, bool Right>
[[gnu::always_inline]] inline void shiftRows(Chip8Machine& machine, const Block& mask) {
    constexpr std::size_t blocks = rowCells / sizeof(Block);
    constexpr std::size_t shift = Columns / laneCells;
    constexpr auto lanes = std::make_index_sequence<sizeof(Block) / sizeof(std::uint32_t)>();
    for (std::size_t row = 0; row < screenCells; row += rowCells) {
        // The row with an empty block at each end, read whole before any of it is written.
        Block padded[blocks + 2] = {};
        for (std::size_t i = 0; i < blocks; ++i) {
            padded[i + 1] = loadCellBlock<Block>(machine, row + i * sizeof(Block));
        }
        for (std::size_t i = 0; i < blocks; ++i) {
            const Block source =
                Right
                    ? lanesFrom<sizeof(Block) / laneCells - shift>(padded[i], padded[i + 1], lanes)
                    : lanesFrom<shift>(padded[i + 1], padded[i + 2], lanes);
            storeCellBlock(machine, row + i * sizeof(Block),
                           mergePlanes(padded[i + 1], source, mask));
        }
    }
}

template <class Block>
[[gnu::always_inline]] inline void moveCells(Chip8Machine& machine, Move move,
                                             std::size_t distance) {
    const Block mask = planeMask<Block>(machine);
    switch (move) {
    case Move::clear: clearCells(machine, 0, screenCells, mask); return;
    case Move::down: moveRows(machine, distance, true, mask); return;
    case Move::up: moveRows(machine, distance, false, mask); return;
    case Move::right:
        if (distance == baseScrollColumns) {
            shiftRows<Block, baseScrollColumns, true>(machine, mask);
        } else {
            shiftRows<Block, 2 * baseScrollColumns, true>(machine, mask);
        }
        return;
    case Move::left:
        if (distance == baseScrollColumns) {
            shiftRows<Block, baseScrollColumns, false>(machine, mask);
        } else {
            shiftRows<Block, 2 * baseScrollColumns, false>(machine, mask);
        }
        return;
    }
}

using Mover = void (*)(Chip8Machine&, Move, std::size_t);

void movePortable(Chip8Machine& machine, Move move, std::size_t distance) {
    moveCells<CellBlock8>(machine, move, distance);
}

#if QUORVIX_WIDE_CELL_STORES
void moveWithSse2(Chip8Machine& machine, Move move, std::size_t distance) {
    moveCells<CellBlock16>(machine, move, distance);
}

[[gnu::target("avx2")]] void moveWithAvx2(Chip8Machine& machine, Move move, std::size_t distance) {
    moveCells<CellBlock32>(machine, move, distance);
}

[[gnu::target("avx512f")]] void moveWithAvx512(Chip8Machine& machine, Move move,
                                               std::size_t distance) {
    moveCells<CellBlock64>(machine, move, distance);
}
#endif

// The way to move blocks of `cells` cells, or none when this build or processor lacks it.
Mover moverFor(std::size_t cells) {
#if QUORVIX_WIDE_CELL_STORES
    __builtin_cpu_init();
    switch (cells) {
    case 16: return moveWithSse2;
    case 32: return __builtin_cpu_supports("avx2") ? moveWithAvx2 : nullptr;
    case 64: return __builtin_cpu_supports("avx512f") ? moveWithAvx512 : nullptr;
    default: break;
    }
#endif
    return cells == 8 ? movePortable : nullptr;
}

Mover widestMover() {
    for (const std::size_t cells : {64, 32, 16}) {
        if (const Mover wide = moverFor(cells)) {
            return wide;
        }
    }
    return movePortable;
}

// Chosen while the program loads: the widest store this processor has. Only tests
// change it, while no worker runs.
Mover mover = widestMover();

// Scroll distances are buffer pixels; rules that scroll whole low-resolution pixels
// double them in low resolution.
std::uint32_t scrollScale(const Chip8Machine& machine) {
    return machine.rules.wholePixelLowResolutionScroll && machine.hiRes == 0 ? 2 : 1;
}

std::size_t rowDistance(const Chip8Machine& machine, std::uint8_t rows) {
    const std::uint32_t scaled = rows * scrollScale(machine);
    return scaled < chip8ScreenHeight ? scaled : chip8ScreenHeight;
}
} // namespace

void clearChip8Screen(Chip8Machine& machine) {
    mover(machine, Move::clear, 0);
}

void scrollChip8Down(Chip8Machine& machine, std::uint8_t rows) {
    mover(machine, Move::down, rowDistance(machine, rows));
}

void scrollChip8Up(Chip8Machine& machine, std::uint8_t rows) {
    mover(machine, Move::up, rowDistance(machine, rows));
}

void scrollChip8Right(Chip8Machine& machine) {
    mover(machine, Move::right, baseScrollColumns * scrollScale(machine));
}

void scrollChip8Left(Chip8Machine& machine) {
    mover(machine, Move::left, baseScrollColumns * scrollScale(machine));
}

bool useChip8ScreenBlocks(std::size_t cells) {
    const Mover chosen = cells == 0 ? widestMover() : moverFor(cells);
    if (chosen == nullptr) {
        return false;
    }
    mover = chosen;
    return true;
}
