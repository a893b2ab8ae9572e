// PNG pictures, through stb_image_write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace png {

// The PNG file of an RGB picture: `rgb` holds height rows of width pixels,
// three bytes each, top row first. Empty when it cannot be made.
std::string rgb(const std::vector<uint8_t>& rgb, uint32_t width, uint32_t height);

} // namespace png
