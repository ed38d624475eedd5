#pragma once
// A small software device in the shape of the Direct3D 9 objects a display owns: a
// system object, a device bound to a picture surface with one back buffer, a dynamic
// ARGB texture and a vertex buffer for the screen quad. Every object is released by
// its owner, in the reverse order of creation.

#include "display/locked_image.h"
#include "platform/host.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// One vertex of the screen quad, pre-transformed, laid out as the fixed-function
// vertex format position + rhw + diffuse + one texture coordinate.
struct ScreenVertex {
    float x;
    float y;
    float z;
    float rhw;
    std::uint32_t diffuse;
    float u;
    float v;

    bool operator==(const ScreenVertex&) const = default;
};
static_assert(sizeof(ScreenVertex) == 28, "ScreenVertex must be packed into 28 bytes");

constexpr std::uint32_t clearColour = 0xFF0000FF;

// What a writer promises, at unlock, about the texels it leaves.
struct TextureContent {
    // Every texel is opaque (alpha 0xFF).
    bool allOpaque = false;
    // From the first row on, rows come in groups of this many equal ones.
    std::uint32_t rowRepeat = 1;
    // When not null: for each group of rowRepeat rows, the columns outside which the
    // writer changed nothing since the texture's previous unlock (empty: nothing); the
    // writer keeps the array unchanged until its next lock. Null: anything may have
    // changed.
    const FrameSpan* changedGroups = nullptr;
};

struct FrameSystem {
    int references = 1;
};

struct FrameVertexBuffer {
    std::array<ScreenVertex, 4> vertices{};
};

struct FrameTexture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::int32_t pitch = 0; // bytes per row, always more than 4 * width
    std::vector<std::uint32_t> texels;
    // What the last unlock promised about the texels.
    TextureContent content;
    // A number no other texture of the process has, and how many times the texture was
    // unlocked: together they name its content for the surface it is shown on.
    std::uint64_t id = 0;
    std::uint64_t version = 0;
};

// Where the quad's pixels take their texels from, worked out again only when the quad,
// the texture's size or the device's size changes.
struct QuadMaps {
    std::array<ScreenVertex, 4> quad{};
    std::uint32_t textureWidth = 0;
    std::uint32_t textureHeight = 0;
    // The texel column of each pixel column and row of each pixel row; -1 outside.
    std::vector<std::int32_t> columns;
    std::vector<std::int32_t> rows;
    // Pixel i takes texel i, on every column or row.
    bool columnsOneToOne = false;
    bool rowsOneToOne = false;
};

struct FrameDevice {
    PictureSurface* surface = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint32_t> backBuffer;
    // A clear is carried out lazily, row by row, so rows the quad overwrites whole are
    // written once.
    std::optional<std::uint32_t> pendingClear;
    const FrameVertexBuffer* stream = nullptr;
    const FrameTexture* boundTexture = nullptr;
    bool refreshWait = true;
    QuadMaps maps;
    // Set by a drawQuad whose frame is the bound texture itself, texel for pixel (an
    // opaque texture on the full-screen quad over a clear): the present then shows the
    // texture and the back buffer is not written.
    const FrameTexture* frameIsTexture = nullptr;
};

// Null when no system is available (never happens in this build, kept for the shape).
FrameSystem* createFrameSystem();
// Null when there is no surface to present to.
FrameDevice* createFrameDevice(FrameSystem& system, std::uint32_t width, std::uint32_t height,
                               PictureSurface* surface);
// Null when there is no device or the texel memory cannot be had.
FrameTexture* createFrameTexture(FrameDevice* device, std::uint32_t width, std::uint32_t height);
FrameVertexBuffer* createFrameVertexBuffer(FrameDevice& device);

// Locks the whole texture for writing; false (and nothing to write) without texels.
bool lockTexture(FrameTexture* texture, LockedImage& image);
void unlockTexture(FrameTexture* texture, TextureContent content = {});

void clearBackBuffer(FrameDevice& device, std::uint32_t colour);
// Draws the bound texture through the bound quad as a two-triangle fan, point
// sampled with source-alpha blending over the back buffer.
void drawQuad(FrameDevice& device);
// Hands the back buffer to the surface, then waits for the surface's next refresh tick.
// As with a discarding swap chain, the back buffer's content after a present is not
// defined: a frame begins with a clear.
void presentBackBuffer(FrameDevice& device);
// Waits for the surface's next refresh tick without presenting: the frame shown stays
// up for that refresh.
void waitForDeviceRefresh(const FrameDevice& device);

void releaseFrameVertexBuffer(FrameVertexBuffer*& buffer);
void releaseFrameTexture(FrameTexture*& texture);
void releaseFrameDevice(FrameDevice*& device);
void releaseFrameSystem(FrameSystem*& system);

// Headless runs that want frames as fast as possible turn the refresh wait off.
void setRefreshWaitEnabled(bool enabled);
