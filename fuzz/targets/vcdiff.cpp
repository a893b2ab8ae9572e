// A VCDIFF patch as install applies it: against a source of patterned bytes
// (its length taken from the input's first two bytes), into memory, with the
// copies a reverse patch is made from. What decodes is then encoded from the
// copies the decoder reported and decoded again to the same bytes.
#include "formats/vcdiff.hpp"
#include "support.hpp"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    std::vector<uint8_t> source(size_t(data[0]) | (size_t(data[1]) << 8));
    for (size_t i = 0; i < source.size(); ++i) source[i] = uint8_t(i * 7 + (i >> 5));
    vcdiff::MemoryInput src(source.data(), source.size()), patch(data + 2, size - 2);
    vcdiff::MemoryOutput out;
    std::vector<vcdiff::Copy> copies;
    vcdiff::DecodeResult r = vcdiff::decode(src, patch, out, &copies, 16);
    if (!r.ok) {
        if (r.why.empty()) std::abort(); // a refusal always says why
        return 0;
    }
    if (r.target_size != out.bytes.size()) std::abort();
    for (const vcdiff::Copy& c : copies)
        if (c.source_at + c.length > source.size() || c.target_at + c.length > out.bytes.size()) std::abort();
    vcdiff::MemoryInput target(out.bytes.data(), out.bytes.size());
    vcdiff::MemoryOutput again;
    vcdiff::EncodeOptions o;
    o.search = false;
    if (!vcdiff::encode(src, target, copies, again, o)) std::abort();
    vcdiff::MemoryInput patch2(again.bytes.data(), again.bytes.size());
    vcdiff::MemoryOutput back;
    if (!vcdiff::decode(src, patch2, back).ok || back.bytes != out.bytes) std::abort();
    return 0;
}
