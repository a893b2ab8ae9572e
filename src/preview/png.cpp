// PNG pictures, through stb_image_write (the one file of locbench that holds
// its code).
#include "preview/png.hpp"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace png {

namespace {

void append(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
}

} // namespace

std::string rgb(const std::vector<uint8_t>& rgb, uint32_t width, uint32_t height) {
    std::string out;
    if (width == 0 || height == 0 || rgb.size() < size_t(width) * height * 3) return out;
    // The pictures are large areas of one colour with glyphs: a short search
    // packs them nearly as small, much sooner.
    stbi_write_png_compression_level = 4;
    if (!stbi_write_png_to_func(append, &out, int(width), int(height), 3, rgb.data(), int(width * 3))) out.clear();
    return out;
}

} // namespace png
