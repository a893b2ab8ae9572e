// One entry's data on its own: the 48-byte entry header and the payload
// after it unpacked to the header's unpacked size, as the payload jobs
// unpack an entry file.
#include "formats/lod.hpp"
#include "formats/zl.hpp"
#include "support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < lod::kHeaderSize) return 0;
    std::vector<uint8_t> out;
    std::string fault;
    if (lod::unpack_payload(data, data + lod::kHeaderSize, size - lod::kHeaderSize, &out, &fault)) {
        // What unpacks must pack again and unpack to the same bytes.
        std::vector<uint8_t> again = zl::pack(out.data(), out.size());
        std::vector<uint8_t> back;
        if (!zl::unpack(again.data(), again.size(), uint32_t(out.size()), &back, &fault) || back != out) std::abort();
    }
    return 0;
}
