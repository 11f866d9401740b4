#pragma once

#include <stdexcept>
#include <string>

#include "picture/renderer.h"

namespace picture {

struct WriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The image as an 8-bit RGB PNG at `path`; a failure names the file.
void writePng(const Image& image, const std::string& path);

}  // namespace picture
