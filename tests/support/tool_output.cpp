#include "tests/support/tool_output.h"

#include <png.h>

#include <cstdio>
#include <sys/wait.h>

std::pair<int, std::string> runCommand(const std::string& commandLine) {
    std::pair<int, std::string> run{-1, ""};
    if (FILE* pipe = popen(commandLine.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) {
            run.second.append(buffer, count);
        }
        const int status = pclose(pipe);
        run.first = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

PngPixels readPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    PngPixels picture;
    if (png_image_begin_read_from_file(&image, path.c_str())) {
        image.format = PNG_FORMAT_RGBA;
        picture.rgba.resize(std::size_t{image.width} * image.height);
        if (png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr)) {
            picture.width = image.width;
            picture.height = image.height;
        } else {
            picture.rgba.clear();
        }
    }
    png_image_free(&image);
    return picture;
}
