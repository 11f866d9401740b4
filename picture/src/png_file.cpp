#include "picture/png_file.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace picture {
namespace {

// libpng reports trouble by longjmp; nothing with a destructor may live in
// the frame that setjmp guards, so the encoder is plain C and says only
// whether it succeeded.
bool encode(std::FILE* file, const Image& image, const std::vector<png_bytep>& rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

void writePng(const Image& image, const std::string& path) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3) {
        throw WriteError(path + ": no picture to write (empty or inconsistent image)");
    }
    // Written beside the target and renamed over it at the end, so that a
    // failure (a full disk) leaves an existing picture as it was.
    const std::string partial = path + ".partial";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) throw WriteError(path + ": cannot be written (" + std::strerror(errno) + ")");
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        rows[static_cast<std::size_t>(y)] =
            const_cast<png_bytep>(&image.rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) * 3]);
    }
    const bool encoded = encode(file, image, rows);
    const int error = errno;
    const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
    const int flushError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!encoded || !flushed || !closed) {
        std::remove(partial.c_str());
        const int reason = !encoded ? error : !flushed ? flushError : errno;
        throw WriteError(path + ": cannot be written (" + (reason ? std::strerror(reason) : "the PNG encoder failed") + ")");
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        const int reason = errno;
        std::remove(partial.c_str());
        throw WriteError(path + ": cannot be written (" + std::strerror(reason) + ")");
    }
}

}  // namespace picture
