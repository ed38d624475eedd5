#include "display/direct_display.h"

#include "platform/console_log.h"

std::array<ScreenVertex, 4> screenQuad(std::uint32_t width, std::uint32_t height) {
    const float right = static_cast<float>(width) - 0.5f;
    const float bottom = static_cast<float>(height) - 0.5f;
    constexpr std::uint32_t white = 0xFFFFFFFF;
    return {{
        {-0.5f, -0.5f, 0.0f, 1.0f, white, 0.0f, 0.0f},
        {right, -0.5f, 0.0f, 1.0f, white, 1.0f, 0.0f},
        {right, bottom, 0.0f, 1.0f, white, 1.0f, 1.0f},
        {-0.5f, bottom, 0.0f, 1.0f, white, 0.0f, 1.0f},
    }};
}

bool createDevice(DirectDisplay& display, std::uint32_t width, std::uint32_t height,
                  PictureSurface* surface) {
    display.direct3d = createFrameSystem();
    if (display.direct3d == nullptr) {
        return false;
    }
    display.device = createFrameDevice(*display.direct3d, width, height, surface);
    if (display.device == nullptr) {
        return false;
    }
    display.vertexBuffer = createFrameVertexBuffer(*display.device);
    display.device->stream = display.vertexBuffer;
    return true;
}

void constructDirectDisplay(DirectDisplay& display, std::uint32_t width, std::uint32_t height) {
    display.width = width;
    display.height = height;
    createDevice(display, width, height, mainPictureSurface());
    display.texture = createFrameTexture(display.device, width, height);
    if (display.texture == nullptr) {
        logMessage("Error: Failed to create render texture!");
    }
    if (display.vertexBuffer != nullptr) {
        display.vertexBuffer->vertices = screenQuad(width, height);
    }
}

bool beginConvert(DirectDisplay& display, LockedImage& image) {
    return lockTexture(display.texture, image);
}

void endConvert(DirectDisplay& display, TextureContent content) {
    unlockTexture(display.texture, content);
}

void presentDirectDisplay(DirectDisplay& display) {
    if (display.device == nullptr || display.texture == nullptr ||
        display.vertexBuffer == nullptr) {
        return;
    }
    FrameDevice& device = *display.device;
    clearBackBuffer(device, clearColour);
    device.boundTexture = display.texture;
    drawQuad(device);
    presentBackBuffer(device);
}

void releaseDirectDisplay(DirectDisplay& display) {
    if (display.device != nullptr) {
        display.device->stream = nullptr;
        display.device->boundTexture = nullptr;
    }
    releaseFrameVertexBuffer(display.vertexBuffer);
    releaseFrameTexture(display.texture);
    releaseFrameDevice(display.device);
    releaseFrameSystem(display.direct3d);
}
