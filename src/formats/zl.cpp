#include "formats/zl.hpp"

#include "platform/io.hpp"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>

namespace zl {

namespace {

// Ends a stream however the work on it ends, a lack of memory included.
struct Inflating {
    z_stream s{};
    Inflating() {
        if (inflateInit(&s) != Z_OK) throw std::bad_alloc();
    }
    ~Inflating() { inflateEnd(&s); }
};

struct Deflating {
    z_stream s{};
    Deflating() {
        if (deflateInit(&s, Z_BEST_COMPRESSION) != Z_OK) throw std::bad_alloc();
    }
    ~Deflating() { deflateEnd(&s); }
};

// Inflates a zlib stream into *out, stopping one byte past `unpacked`.
bool inflate_exact(const uint8_t* payload, size_t n, uint32_t unpacked, std::vector<uint8_t>* out,
                   std::string* fault) {
    if (n == 0) {
        *fault = "its payload is empty";
        return false;
    }
    Inflating inflating;
    z_stream& s = inflating.s;
    s.next_in = const_cast<Bytef*>(payload);
    s.avail_in = uInt(n); // a stored size, so below 4 GiB
    // A damaged header may give far more than the stream holds: the buffer
    // starts at what a stream of n bytes is likely to give and grows, up to
    // the header's size, only as the stream fills it.
    out->assign(size_t(std::min<uint64_t>(unpacked, std::max<uint64_t>(uint64_t(n) * 4, 64 << 10))), 0);
    size_t have = 0;
    uint8_t probe = 0; // where a byte past the unpacked size would go
    bool ok = false;
    for (;;) {
        bool probing = false;
        if (have == out->size()) {
            if (out->size() < unpacked)
                out->resize(size_t(std::min<uint64_t>(unpacked, uint64_t(out->size()) * 2)));
            else
                probing = true;
        }
        if (probing) {
            s.next_out = &probe;
            s.avail_out = 1;
        } else {
            s.next_out = out->data() + have;
            s.avail_out = uInt(std::min<size_t>(out->size() - have, UINT_MAX));
        }
        uInt room = s.avail_out;
        int rc = inflate(&s, Z_NO_FLUSH);
        if (probing && s.avail_out == 0) {
            *fault = io::format("it unpacks to more than the %u bytes its header gives", unpacked);
            break;
        }
        if (!probing) have += room - s.avail_out;
        if (rc == Z_STREAM_END) { // bytes of the payload after the stream's end are not looked at
            if (have != unpacked)
                *fault = io::format("it unpacks to %zu bytes, not the %u its header gives", have, unpacked);
            ok = have == unpacked;
            break;
        }
        if (rc == Z_MEM_ERROR) throw std::bad_alloc();
        if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_STREAM_ERROR) {
            *fault = std::string("its payload is not a valid zlib stream (") + (s.msg ? s.msg : "needs a dictionary") +
                     ")";
            break;
        }
        // Room left but no progress: the stream goes on past the payload.
        // (Out of room, the buffer grows or the probe comes next.)
        if (s.avail_out > 0 && (s.avail_in == 0 || rc == Z_BUF_ERROR)) {
            *fault = io::format("its zlib stream goes on past the end of its %zu-byte payload", n);
            break;
        }
    }
    if (!ok) out->clear();
    else out->resize(have);
    return ok;
}

} // namespace

bool unpack(const uint8_t* payload, size_t n, uint32_t unpacked, std::vector<uint8_t>* out, std::string* fault) {
    std::string why;
    if (inflate_exact(payload, n, unpacked, out, &why)) return true;
    if (n == unpacked) { // stored as it is
        out->assign(payload, payload + n);
        return true;
    }
    *fault = why;
    return false;
}

std::vector<uint8_t> pack(const uint8_t* data, size_t n) {
    Deflating deflating;
    z_stream& s = deflating.s;
    std::vector<uint8_t> out(deflateBound(&s, uLong(n)));
    s.next_in = const_cast<Bytef*>(data);
    s.avail_in = uInt(n);
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    // The bound leaves room for the whole stream: only a lack of memory
    // stops it short.
    if (deflate(&s, Z_FINISH) != Z_STREAM_END) throw std::bad_alloc();
    out.resize(size_t(s.total_out));
    return out;
}

} // namespace zl
