#include "tools/quorvix_run/png_writer.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace {
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
} // namespace

bool writePng(const std::string& path, const std::vector<std::uint32_t>& pixels,
              std::uint32_t width, std::uint32_t height) {
    if (width == 0 || height == 0 || pixels.size() < std::size_t{width} * height) {
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> row(std::size_t{width} * 3);
    // libpng reports errors by longjmp; nothing with a destructor is created below.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint32_t* source = pixels.data() + std::size_t{y} * width;
        for (std::uint32_t x = 0; x < width; ++x) {
            row[3 * x] = static_cast<png_byte>(source[x] >> 16);
            row[3 * x + 1] = static_cast<png_byte>(source[x] >> 8);
            row[3 * x + 2] = static_cast<png_byte>(source[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fflush(file.get()) == 0;
}
