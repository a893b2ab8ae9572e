#include "formats/tga.hpp"

#include "formats/bytes.hpp"

namespace tga {

std::vector<uint8_t> header(uint16_t width, uint16_t height) {
    std::vector<uint8_t> h(kHeaderSize);
    h[1] = 1; // a colour map is present
    h[2] = 1; // uncompressed, colour-mapped
    bytes::put_u16(h.data() + 5, 256);
    h[7] = 24;
    bytes::put_u16(h.data() + kWidthField, width);
    bytes::put_u16(h.data() + kHeightField, height);
    h[16] = 8;
    h[kDescriptorField] = kTopLeft;
    return h;
}

bool is_colour_mapped_256(const uint8_t* h) {
    return h[0] == 0 && h[1] == 1 && h[2] == 1 && bytes::get_u16(h + 3) == 0 && bytes::get_u16(h + 5) == 256 &&
           h[7] == 24 && h[16] == 8;
}

std::vector<uint8_t> reverse_triples(const uint8_t* colours) {
    std::vector<uint8_t> out(kColourMapSize);
    for (size_t i = 0; i < 256; ++i) {
        out[3 * i] = colours[3 * i + 2];
        out[3 * i + 1] = colours[3 * i + 1];
        out[3 * i + 2] = colours[3 * i];
    }
    return out;
}

} // namespace tga
