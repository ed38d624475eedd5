// The CHIP-8 display: the cell looks of the two planes, what each picture says it
// changed, and the render worker's callbacks.

#include "display/chip8_display.h"
#include "tests/chip8_test_machine.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {
constexpr std::uint32_t width = 512;
constexpr std::uint32_t height = 256;
using Chip8DisplayTest = Chip8MachineTest;

// Pixels of a 512 x 256 picture that differ from the look of the machine's screen: a
// lit cell is 4 x 4 pixels of rim around a 2 x 2 core, its colours chosen by the
// cell's planes (bit 0 plane 1, bit 1 plane 2).
int wrongPixels(const Chip8State& m, const std::uint32_t* pixels) {
    int wrong = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const bool core = (x % 4 == 1 || x % 4 == 2) && (y % 4 == 1 || y % 4 == 2);
            // Pale blue when dark; plane 1: a blue rim around a cyan core; plane 2: red
            // around amber; both: purple around pink.
            const std::uint32_t rims[] = {0xFFBBCCFF, 0xFF0000FF, 0xFFC00000, 0xFF600080};
            const std::uint32_t cores[] = {0xFFBBCCFF, 0xFF00FFFF, 0xFFFFC000, 0xFFFF80FF};
            const int look = m.screen[y / 4 * 128 + x / 4] & 3;
            wrong += pixels[y * width + x] != (core ? cores[look] : rims[look]) ? 1 : 0;
        }
    }
    return wrong;
}

// Every cell with a different look from its neighbours, and cells of each look at the
// corners, in both ways of writing rows: catches a cell written to its neighbour's
// place or with a wrong look.
TEST_F(Chip8DisplayTest, DrawShowsEveryCellAsRimAndCore) {
    for (std::size_t i = 0; i < m.screen.size(); ++i) {
        m.screen[i] = static_cast<std::uint8_t>((i * 5 + i / 128 + i / 7) % 7);
    }
    m.screen[0] = 1;
    m.screen[63 * 128 + 127] = 2;
    m.screen[10 * 128 + 20] = 3;
    m.screen[10 * 128 + 21] = 4; // the bits above the planes are not read: dark
    // Rows on 64-byte boundaries, as a display's, and 16 bytes past them.
    const std::unique_ptr<std::uint32_t, decltype(&std::free)> buffer(
        static_cast<std::uint32_t*>(std::aligned_alloc(64, (width * height + 16) * 4)), &std::free);
    for (const std::size_t offset : {4, 0}) {
        std::fill_n(buffer.get(), width * height + 16, 0u);
        drawChip8Screen(m, PixelRows{buffer.get() + offset, width});
        EXPECT_EQ(wrongPixels(m, buffer.get() + offset), 0) << "offset " << offset;
    }
    const std::uint32_t* const p = buffer.get();
    EXPECT_EQ(ints(p[width + 1], p[3 * width + 1], p[41 * width + 81], p[40 * width + 80]),
              ints(0xFF00FFFF, 0xFF0000FF, 0xFFFF80FF, 0xFF600080))
        << "plane 1: core, rim; both planes: core, rim";
    EXPECT_EQ(ints(p[41 * width + 85], p[254 * width + 510], p[255 * width + 511]),
              ints(0xFFBBCCFF, 0xFFFFC000, 0xFFC00000))
        << "the cell with value 4; plane 2: core, rim";
}

// Keeps what each frame said about itself, and the picture.
struct FrameRecorder final : PictureSurface {
    std::uint64_t source = 0, sequence = 0;
    bool saidChanges = false;
    std::vector<FrameSpan> changes;
    std::vector<std::uint32_t> pixels;
    void showFrame(const FrameView& frame) override {
        source = frame.source;
        sequence = frame.sequence;
        saidChanges = frame.changedGroups != nullptr;
        changes.assign(frame.changedGroups, frame.changedGroups + (saidChanges ? height : 0));
        pixels.assign(frame.pixels, frame.pixels + width * height);
        ASSERT_EQ(ints(frame.width, frame.height, frame.stride, frame.rowRepeat),
                  ints(width, height, width, 1));
    }
    std::uint64_t refreshPeriodNanoseconds() const override { return 0; }
};

// The first picture is new everywhere; after it each picture names the pixel columns
// of each row in which its cells changed, from the first changed cell to the last, and
// still shows the whole screen.
TEST_F(Chip8DisplayTest, EachPictureSaysWhichColumnsOfWhichRowsChanged) {
    FrameRecorder recorder;
    headless::setMainSurface(&recorder);
    Chip8Display display(m);
    display.convert();
    display.present();
    EXPECT_FALSE(recorder.saidChanges);
    const std::uint64_t source = recorder.source;
    EXPECT_NE(source, 0u);

    const struct {
        std::vector<std::size_t> cells;  // cells toggled in plane 1
        std::vector<std::uint32_t> rows; // the screen rows said to change
        FrameSpan columns;
    } steps[] = {
        {{10 * 128 + 20}, {10}, {80, 84}},
        {{0, 5}, {0}, {0, 24}}, // two cells: the span between them too
        {{63 * 128 + 127}, {63}, {508, 512}},
        {{}, {}, {}}, // nothing changed
        {{3 * 128 + 7, 4 * 128 + 7}, {3, 4}, {28, 32}},
    };
    std::uint64_t sequence = recorder.sequence;
    for (const auto& step : steps) {
        for (const std::size_t cell : step.cells) {
            m.screen[cell] ^= 1;
        }
        display.convert();
        display.present();
        EXPECT_EQ(ints(recorder.source, recorder.sequence), ints(source, ++sequence));
        ASSERT_TRUE(recorder.saidChanges);
        for (std::uint32_t y = 0; y < height; ++y) {
            const bool said =
                std::find(step.rows.begin(), step.rows.end(), y / 4) != step.rows.end();
            EXPECT_EQ(recorder.changes[y], said ? step.columns : FrameSpan{}) << "row " << y;
        }
        EXPECT_EQ(wrongPixels(m, recorder.pixels.data()), 0);
    }
    Chip8Display other(m);
    other.convert();
    other.present();
    EXPECT_NE(recorder.source, source) << "each display has its own number";
    headless::setMainSurface(&sink);
}

// Without a surface the display has no picture and skips its frames; with one, a
// render step presents the converted screen unless the flicker filter holds back a
// frame whose last draw erased something.
TEST_F(Chip8DisplayTest, RenderStepSkipsWithoutASurfaceAndFollowsTheFlickerFilter) {
    headless::setMainSurface(nullptr);
    runtime->renderStart();
    runtime->renderStep();
    EXPECT_EQ(console(), "Error: Failed to create render texture!\n");

    headless::setMainSurface(&sink);
    m.screen[2 * 128 + 5] = 1;
    runtime->renderStart();
    runtime->renderStep();
    std::uint32_t frameWidth = 0;
    std::uint32_t frameHeight = 0;
    const auto frame = sink.lastFrame(&frameWidth, &frameHeight);
    ASSERT_EQ(ints(frameWidth, frameHeight), ints(width, height));
    EXPECT_EQ(wrongPixels(m, frame.data()), 0);
    const struct {
        std::uint8_t filter, erased, shown;
    } steps[] = {{1, 1, 0}, {0, 1, 1}, {1, 0, 1}};
    for (const auto& step : steps) {
        runtime->setFlickerFilter(step.filter != 0);
        m.eraseFlag = step.erased;
        const std::uint64_t before = sink.framesShown();
        runtime->renderStep();
        EXPECT_EQ(sink.framesShown() - before, step.shown);
    }
    runtime->renderStop();
    EXPECT_EQ(runtime->display(), nullptr);
    runtime->renderStep(); // without a display nothing happens
}
} // namespace

namespace {
// Under paced rules the flicker filter holds back one frame in a row at most: a program
// that draws and erases its cursor within every tick still shows its screen, every
// other refresh. Under the machine's own rules it holds back every such frame.
TEST_F(Chip8DisplayTest, PacedRulesHoldBackAtMostOneFrameInARow) {
    using namespace chip8reg;
    m.tickPacing = false;
    runtime->setFlickerFilter(true);
    Chip8Program p;
    const auto loop = p.label();
    p.bind(loop).drw(V0, V0, 1).drw(V0, V0, 1).jp(loop);
    for (const Chip8Variant variant : {Chip8Variant::XoChip, Chip8Variant::SuperChipModern}) {
        m.rules = chip8RulesFor(variant);
        // Whole loops per tick, so that every tick ends after the erase.
        m.rules.instructionsPerTick = 30;
        load(p.bytes());
        poke(0x300, {0xF0});
        m.I = 0x300;
        runtime->renderStart();
        const std::uint64_t before = sink.framesShown();
        for (int tick = 0; tick < 8; ++tick) {
            runChip8Batch(m);
            ASSERT_EQ(m.eraseFlag, 1);
            runtime->renderStep();
        }
        EXPECT_EQ(sink.framesShown() - before, 4u) << chip8VariantName(variant);
        runtime->renderStop();
    }

    m.rules = quorvixRules;
    runtime->renderStart();
    const std::uint64_t before = sink.framesShown();
    m.eraseFlag = 1;
    for (int step = 0; step < 8; ++step) {
        runtime->renderStep();
    }
    EXPECT_EQ(sink.framesShown() - before, 0u);
    runtime->renderStop();
}

// A 3 x 2 picture turned each way: 90 degrees puts its left column on top, read from
// the bottom up.
TEST(Chip8TurnedPictureTest, PixelsTurnClockwise) {
    const std::vector<std::uint32_t> picture = {1, 2, 3, 4, 5, 6};
    const struct {
        std::uint16_t degrees;
        std::uint32_t pitch;
        std::vector<std::uint32_t> turned;
    } cases[] = {{0, 3, {1, 2, 3, 4, 5, 6}},
                 {90, 2, {4, 1, 5, 2, 6, 3}},
                 {180, 3, {6, 5, 4, 3, 2, 1}},
                 {270, 2, {3, 6, 2, 5, 1, 4}}};
    for (const auto& c : cases) {
        std::vector<std::uint32_t> pixels(6);
        turnPixels(picture, 3, 2, c.degrees, PixelRows{pixels.data(), c.pitch});
        EXPECT_EQ(pixels, c.turned) << c.degrees;
    }
}

// A display started with the picture turned on its side is 256 x 512 pixels: the frame
// it presents is the machine's 512 x 256 turned.
TEST_F(Chip8DisplayTest, ATurnedDisplayPresentsTheTurnedFrame) {
    m.screen[0] = 1; // the top-left cell
    for (const auto& [degrees, size, litCorner] :
         {std::tuple{std::uint16_t{90}, std::pair{256u, 512u}, std::pair{255u, 0u}},
          std::tuple{std::uint16_t{270}, std::pair{256u, 512u}, std::pair{0u, 511u}},
          std::tuple{std::uint16_t{180}, std::pair{512u, 256u}, std::pair{511u, 255u}}}) {
        runtime->setRotation(degrees);
        runtime->renderStart();
        runtime->renderStep();
        std::uint32_t frameWidth = 0;
        std::uint32_t frameHeight = 0;
        const auto frame = sink.lastFrame(&frameWidth, &frameHeight);
        ASSERT_EQ(std::pair(frameWidth, frameHeight), size) << degrees;
        // The cell's rim, blue, at the turned corner.
        EXPECT_EQ(frame[litCorner.second * frameWidth + litCorner.first], 0xFF0000FFu) << degrees;
        runtime->renderStop();
    }
}
} // namespace
