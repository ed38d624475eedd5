#pragma once
// What the two displays share: the device objects, their creation, presenting a
// frame and teardown. DisplayDx8 and DisplayDx16 each hold one of these after their
// machine reference.

#include "display/frame_device.h"

#include <cstdint>

struct DirectDisplay {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    FrameSystem* direct3d = nullptr;
    FrameDevice* device = nullptr;
    FrameTexture* texture = nullptr;
    FrameVertexBuffer* vertexBuffer = nullptr;
};

// The screen quad of a width x height back buffer: corners shifted by half a pixel so
// that each texel lands on exactly one pixel.
std::array<ScreenVertex, 4> screenQuad(std::uint32_t width, std::uint32_t height);

// Fills direct3d, device and vertexBuffer for the main window's surface; false at the
// first step that fails.
bool createDevice(DirectDisplay& display, std::uint32_t width, std::uint32_t height,
                  PictureSurface* surface);

// Construction: sets the size, creates the device for the main window's surface and the
// render texture ("Error: Failed to create render texture!" when that fails) and fills
// the quad. Always completes; whatever failed stays null.
void constructDirectDisplay(DirectDisplay& display, std::uint32_t width, std::uint32_t height);

// convert's frame: lock the whole texture, or false when there is nothing to write to.
bool beginConvert(DirectDisplay& display, LockedImage& image);
void endConvert(DirectDisplay& display, TextureContent content = {});

// Clears, draws the quad, presents and waits for the next refresh. Skips the frame
// when the device, texture or quad does not exist.
void presentDirectDisplay(DirectDisplay& display);

// Teardown: unbind the quad, then release vertex buffer, texture, device and system,
// skipping whatever was never created.
void releaseDirectDisplay(DirectDisplay& display);
