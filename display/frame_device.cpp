#include "display/frame_device.h"

#include "platform/clock.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {
std::atomic<bool> refreshWaitEnabled{true};

// Rows padded to a 256-byte boundary past the row itself, as a driver's aligned
// surface would be; callers must honour the pitch. 0 when a row is too wide for one.
std::int32_t paddedPitch(std::uint32_t width) {
    const std::uint64_t rowBytes = std::uint64_t{width} * 4 + 1;
    const std::uint64_t pitch = (rowBytes + 255) / 256 * 256;
    return pitch <= INT32_MAX ? static_cast<std::int32_t>(pitch) : 0;
}

std::uint32_t blendChannel(std::uint32_t source, std::uint32_t destination, std::uint32_t alpha,
                           int shift) {
    const std::uint32_t s = (source >> shift) & 0xFF;
    const std::uint32_t d = (destination >> shift) & 0xFF;
    return ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
}

// Source-alpha over inverse-source-alpha, with the texel's alpha modulated by the
// vertex colour as the texture stage does.
std::uint32_t blend(std::uint32_t texel, std::uint32_t diffuse, std::uint32_t destination) {
    const std::uint32_t alpha = ((texel >> 24) * (diffuse >> 24) + 127) / 255;
    if (alpha == 255) {
        return 0xFF000000u | (texel & 0x00FFFFFFu);
    }
    return (destination & 0xFF000000u) | blendChannel(texel, destination, alpha, 16) |
           blendChannel(texel, destination, alpha, 8) | blendChannel(texel, destination, alpha, 0);
}

// False when the buffer cannot be had: too large to address or no memory left.
template <typename Buffer> bool resizeOrFail(Buffer& buffer, std::size_t size) {
    try {
        buffer.resize(size);
        return true;
    } catch (const std::length_error&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
} // namespace

FrameSystem* createFrameSystem() {
    return new (std::nothrow) FrameSystem;
}

FrameDevice* createFrameDevice(FrameSystem& /*system*/, std::uint32_t width, std::uint32_t height,
                               PictureSurface* surface) {
    if (surface == nullptr || width == 0 || height == 0) {
        return nullptr;
    }
    auto* device = new (std::nothrow) FrameDevice;
    if (device == nullptr) {
        return nullptr;
    }
    device->surface = surface;
    device->width = width;
    device->height = height;
    if (!resizeOrFail(device->backBuffer, std::size_t{width} * height)) {
        delete device;
        return nullptr;
    }
    return device;
}

FrameTexture* createFrameTexture(FrameDevice* device, std::uint32_t width, std::uint32_t height) {
    if (device == nullptr || width == 0 || height == 0) {
        return nullptr;
    }
    auto* texture = new (std::nothrow) FrameTexture;
    if (texture == nullptr) {
        return nullptr;
    }
    static std::atomic<std::uint64_t> texturesCreated{0};
    texture->id = texturesCreated.fetch_add(1, std::memory_order_relaxed) + 1;
    texture->width = width;
    texture->height = height;
    texture->pitch = paddedPitch(width);
    if (texture->pitch == 0) {
        delete texture;
        return nullptr;
    }
    if (!resizeOrFail(texture->texels, static_cast<std::size_t>(texture->pitch / 4) * height)) {
        delete texture;
        return nullptr;
    }
    return texture;
}

FrameVertexBuffer* createFrameVertexBuffer(FrameDevice& /*device*/) {
    return new (std::nothrow) FrameVertexBuffer;
}

bool lockTexture(FrameTexture* texture, LockedImage& image) {
    if (texture == nullptr || texture->texels.empty()) {
        return false;
    }
    image.texels = texture->texels.data();
    image.pitch = texture->pitch;
    return true;
}

void unlockTexture(FrameTexture* texture, TextureContent content) {
    if (texture != nullptr) {
        texture->content = content;
        ++texture->version;
    }
}

void clearBackBuffer(FrameDevice& device, std::uint32_t colour) {
    device.pendingClear = colour;
    device.frameIsTexture = nullptr;
}

namespace {
// Where the centres of `count` pixels fall on a texture axis of `size` texels, for a
// quad edge from `low` to `high` carrying coordinates `from` to `to`; -1 marks pixels
// outside the quad.
void mapAxis(std::vector<std::int32_t>& map, std::uint32_t count, float low, float high, float from,
             float to, std::uint32_t size) {
    map.assign(count, -1);
    for (std::uint32_t i = 0; i < count; ++i) {
        const float centre = static_cast<float>(i);
        if (centre < low || centre >= high) {
            continue;
        }
        const float coordinate = from + (centre - low) / (high - low) * (to - from);
        const float texel = std::floor(coordinate * static_cast<float>(size));
        map[i] = static_cast<std::int32_t>(std::clamp(texel, 0.0f, static_cast<float>(size - 1)));
    }
}

void clearRow(FrameDevice& device, std::uint32_t* row) {
    if (device.pendingClear) {
        std::fill(row, row + device.width, *device.pendingClear);
    }
}

void finishPendingClear(FrameDevice& device) {
    if (device.pendingClear) {
        std::fill(device.backBuffer.begin(), device.backBuffer.end(), *device.pendingClear);
        device.pendingClear.reset();
    }
}

bool isIdentity(const std::vector<std::int32_t>& map) {
    for (std::size_t i = 0; i < map.size(); ++i) {
        if (map[i] != static_cast<std::int32_t>(i)) {
            return false;
        }
    }
    return true;
}

// Copies a row and tells whether every texel was opaque, in which case the copy is
// what blending would have given.
bool copyOpaqueRow(const std::uint32_t* texels, std::uint32_t count, std::uint32_t* target) {
    std::uint32_t alphas = 0xFF000000;
    for (std::uint32_t i = 0; i < count; ++i) {
        alphas &= texels[i];
        target[i] = texels[i];
    }
    return alphas == 0xFF000000;
}

} // namespace

namespace {
const QuadMaps& quadMaps(FrameDevice& device, const std::array<ScreenVertex, 4>& quad,
                         const FrameTexture& texture) {
    QuadMaps& maps = device.maps;
    if (maps.quad == quad && maps.textureWidth == texture.width &&
        maps.textureHeight == texture.height && maps.columns.size() == device.width &&
        maps.rows.size() == device.height) {
        return maps;
    }
    maps.quad = quad;
    maps.textureWidth = texture.width;
    maps.textureHeight = texture.height;
    // The fan 0-1-2, 0-2-3 is an axis-aligned rectangle: a pixel is drawn when its
    // centre lies inside it, with the texture coordinate interpolated at that centre
    // and point sampled, so each axis maps on its own.
    mapAxis(maps.columns, device.width, quad[0].x, quad[2].x, quad[0].u, quad[2].u, texture.width);
    mapAxis(maps.rows, device.height, quad[0].y, quad[2].y, quad[0].v, quad[2].v, texture.height);
    maps.columnsOneToOne = isIdentity(maps.columns);
    maps.rowsOneToOne = isIdentity(maps.rows);
    return maps;
}

// A frame drawn straight from the texture that is drawn over before its present: the
// back buffer gets what it showed.
void copyTextureFrame(FrameDevice& device) {
    const FrameTexture& texture = *device.frameIsTexture;
    const LockedImage source{const_cast<std::uint32_t*>(texture.texels.data()), texture.pitch};
    for (std::uint32_t y = 0; y < device.height; ++y) {
        std::copy_n(source.row(y), device.width,
                    device.backBuffer.begin() + std::ptrdiff_t{device.width} * y);
    }
    device.frameIsTexture = nullptr;
}
} // namespace

void drawQuad(FrameDevice& device) {
    if (device.frameIsTexture != nullptr) {
        copyTextureFrame(device);
    }
    if (device.stream == nullptr || device.boundTexture == nullptr) {
        finishPendingClear(device);
        return;
    }
    const auto& quad = device.stream->vertices;
    const FrameTexture& texture = *device.boundTexture;
    const QuadMaps& maps = quadMaps(device, quad, texture);
    const std::vector<std::int32_t>& columns = maps.columns;
    const std::vector<std::int32_t>& rows = maps.rows;
    // The usual frame: texel i lands on pixel i, and opaque texels replace what the
    // clear left, so a row is a plain copy; with every row so and the texture promised
    // opaque, the frame is the texture itself and nothing is copied here.
    const bool oneToOne = maps.columnsOneToOne && (quad[0].diffuse >> 24) == 0xFF;
    if (oneToOne && maps.rowsOneToOne && texture.content.allOpaque && device.pendingClear) {
        device.frameIsTexture = &texture;
        device.pendingClear.reset();
        return;
    }
    const LockedImage source{const_cast<std::uint32_t*>(texture.texels.data()), texture.pitch};
    const std::uint32_t diffuse = quad[0].diffuse;
    for (std::uint32_t y = 0; y < device.height; ++y) {
        std::uint32_t* target = device.backBuffer.data() + std::size_t{y} * device.width;
        if (rows[y] < 0) {
            clearRow(device, target);
            continue;
        }
        const std::uint32_t* sourceRow = source.row(static_cast<std::uint32_t>(rows[y]));
        // A row that turns out not to be opaque is cleared and blended afresh below.
        if (oneToOne && device.pendingClear && copyOpaqueRow(sourceRow, device.width, target)) {
            continue;
        }
        clearRow(device, target);
        for (std::uint32_t x = 0; x < device.width; ++x) {
            if (columns[x] >= 0) {
                target[x] = blend(sourceRow[columns[x]], diffuse, target[x]);
            }
        }
    }
    device.pendingClear.reset();
}

void waitForRefresh(const PictureSurface& surface) {
    const std::uint64_t period = surface.refreshPeriodNanoseconds();
    if (period == 0 || !refreshWaitEnabled.load(std::memory_order_relaxed)) {
        return;
    }
    const std::uint64_t now = elapsedNanoseconds();
    sleepNanoseconds(period - now % period);
}

void waitForDeviceRefresh(const FrameDevice& device) {
    if (device.surface != nullptr) {
        waitForRefresh(*device.surface);
    }
}

void presentBackBuffer(FrameDevice& device) {
    if (device.frameIsTexture != nullptr) {
        const FrameTexture& texture = *device.frameIsTexture;
        device.surface->showFrame({texture.texels.data(), device.width, device.height,
                                   static_cast<std::size_t>(texture.pitch / 4),
                                   texture.content.rowRepeat, texture.id, texture.version,
                                   texture.content.changedGroups});
        device.frameIsTexture = nullptr;
    } else {
        finishPendingClear(device);
        device.surface->showFrame(
            {device.backBuffer.data(), device.width, device.height, device.width, 1});
    }
    waitForRefresh(*device.surface);
}

void releaseFrameVertexBuffer(FrameVertexBuffer*& buffer) {
    delete buffer;
    buffer = nullptr;
}

void releaseFrameTexture(FrameTexture*& texture) {
    delete texture;
    texture = nullptr;
}

void releaseFrameDevice(FrameDevice*& device) {
    delete device;
    device = nullptr;
}

void releaseFrameSystem(FrameSystem*& system) {
    delete system;
    system = nullptr;
}

void setRefreshWaitEnabled(bool enabled) {
    refreshWaitEnabled.store(enabled, std::memory_order_relaxed);
}
