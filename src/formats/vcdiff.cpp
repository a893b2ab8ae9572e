// VCDIFF reading and writing.
#include "formats/vcdiff.hpp"

#include "platform/win.hpp"

#include <zlib.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <memory>

namespace vcdiff {

// ---------------------------------------------------------------------------
// Inputs and outputs

namespace {
constexpr size_t kFileBuffer = size_t(1) << 16;
} // namespace

FileInput::FileInput(FILE* f) : f_(f) {
    int64_t n = f ? win::file_size(f) : -1;
    if (n >= 0) {
        size_ = uint64_t(n);
        file_pos_ = 0;
        ok_ = true;
    }
}

bool FileInput::read(uint64_t at, void* to, size_t n) {
    if (n == 0) return at <= size_;
    if (at > size_ || n > size_ - at) return false;
    if (at >= buf_at_ && at - buf_at_ < buf_len_ && n <= buf_len_ - (at - buf_at_)) {
        std::memcpy(to, buf_.data() + (at - buf_at_), n);
        return true;
    }
    auto fetch = [&](void* into, size_t len) {
        if (file_pos_ != at && win::seek(f_, at) != 0) {
            file_pos_ = UINT64_MAX;
            return false;
        }
        size_t got = std::fread(into, 1, len, f_);
        file_pos_ = got == len ? at + len : UINT64_MAX;
        return got == len;
    };
    if (n >= kFileBuffer) return fetch(to, n);
    if (buf_.empty()) buf_.resize(kFileBuffer);
    size_t len = size_t(std::min<uint64_t>(kFileBuffer, size_ - at));
    buf_len_ = 0;
    if (!fetch(buf_.data(), len)) return false;
    buf_at_ = at;
    buf_len_ = len;
    std::memcpy(to, buf_.data(), n);
    return true;
}

bool MemoryInput::read(uint64_t at, void* to, size_t n) {
    if (at > n_ || n > n_ - at) return false;
    if (n) std::memcpy(to, p_ + at, n);
    return true;
}

void MemoryOutput::write(const void* data, size_t n) {
    auto p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
}

bool MemoryOutput::read_back(uint64_t at, void* to, size_t n) {
    if (at > bytes.size() || n > bytes.size() - at) return false;
    if (n) std::memcpy(to, bytes.data() + at, n);
    return true;
}

// ---------------------------------------------------------------------------
// What reader and writer share: the format's constants and the code table.

namespace {

constexpr uint8_t kMagic[4] = {0xD6, 0xC3, 0xC4, 0x00};
// Hdr_Indicator
constexpr uint8_t kDecompress = 0x01, kCodeTable = 0x02, kAppHeader = 0x04;
// Win_Indicator; kAdler32 is xdelta3's.
constexpr uint8_t kSource = 0x01, kTarget = 0x02, kAdler32 = 0x04;
// Largest target window, xdelta3's own hard limit.
constexpr uint64_t kMaxWindow = uint64_t(1) << 24;
// A custom code table's data: the six columns of 256 bytes each, delta-encoded
// against the default table's; more than this is no code table.
constexpr uint64_t kMaxCodeTableData = 1 << 16;

enum : uint8_t { kNoop = 0, kAdd = 1, kRun = 2, kCopy = 3 };

struct Half {
    uint8_t type, size, mode;
};
struct Code {
    Half one, two;
};
struct CodeTable {
    Code codes[256];
    unsigned near = 4, same = 3; // sizes of the address caches
};

// The default code table: RUN; ADD of sizes 0 (size follows) and 1 to 17; COPY
// of sizes 0 and 4 to 18 in each of the 9 modes; ADD 1-4 with COPY 4-6 in modes
// 0-5; ADD 1-4 with COPY 4 in modes 6-8; COPY 4 with ADD 1 in every mode.
CodeTable make_default_table() {
    CodeTable t{};
    int i = 0;
    t.codes[i++] = {{kRun, 0, 0}, {kNoop, 0, 0}};
    for (int s = 0; s <= 17; ++s) t.codes[i++] = {{kAdd, uint8_t(s), 0}, {kNoop, 0, 0}};
    for (int m = 0; m < 9; ++m) {
        t.codes[i++] = {{kCopy, 0, uint8_t(m)}, {kNoop, 0, 0}};
        for (int s = 4; s <= 18; ++s) t.codes[i++] = {{kCopy, uint8_t(s), uint8_t(m)}, {kNoop, 0, 0}};
    }
    for (int m = 0; m < 6; ++m)
        for (int a = 1; a <= 4; ++a)
            for (int c = 4; c <= 6; ++c) t.codes[i++] = {{kAdd, uint8_t(a), 0}, {kCopy, uint8_t(c), uint8_t(m)}};
    for (int m = 6; m < 9; ++m)
        for (int a = 1; a <= 4; ++a) t.codes[i++] = {{kAdd, uint8_t(a), 0}, {kCopy, 4, uint8_t(m)}};
    for (int m = 0; m < 9; ++m) t.codes[i++] = {{kCopy, 4, uint8_t(m)}, {kAdd, 1, 0}};
    return t;
}

const CodeTable& default_table() {
    static const CodeTable table = make_default_table();
    return table;
}

// The table as the six columns a custom table is delta-encoded against.
std::vector<uint8_t> table_columns(const CodeTable& t) {
    std::vector<uint8_t> b(6 * 256);
    for (int i = 0; i < 256; ++i) {
        const Code& c = t.codes[i];
        b[i] = c.one.type;
        b[256 + i] = c.two.type;
        b[512 + i] = c.one.size;
        b[768 + i] = c.two.size;
        b[1024 + i] = c.one.mode;
        b[1280 + i] = c.two.mode;
    }
    return b;
}

// The address caches, emptied at the start of every window.
struct AddressCache {
    unsigned near_size, same_size;
    uint64_t near[256];
    unsigned next_slot = 0;
    std::vector<uint64_t> same;
    AddressCache(unsigned n, unsigned s) : near_size(n), same_size(s), same(size_t(s) * 256) { reset(); }
    void reset() {
        std::fill(near, near + 256, 0);
        std::fill(same.begin(), same.end(), 0);
        next_slot = 0;
    }
    void update(uint64_t addr) {
        if (near_size) {
            near[next_slot] = addr;
            next_slot = (next_slot + 1) % near_size;
        }
        if (same_size) same[addr % (same_size * 256)] = addr;
    }
};

} // namespace

// Adler-32, 16 bytes at a time with SSE2 (every x86-64 processor has it):
// per block of up to 5552 bytes (so that no sum overflows 32 bits), the bytes'
// sum (psadbw), their sum weighted 16..1 within each 16 bytes (pmaddwd), and
// the running sum before each 16 bytes, which the block's weighted sum takes
// 16 times. About four times zlib's byte-at-a-time loop. Elsewhere, zlib's.
uint32_t adler32(const uint8_t* p, size_t n) {
#if defined(__SSE2__)
    constexpr uint32_t kMod = 65521;
    constexpr size_t kBlock = 5552 / 16 * 16;
    uint64_t a = 1, b = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i w_lo = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i w_hi = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    while (n >= 16) {
        size_t len = std::min(kBlock, n / 16 * 16);
        __m128i s1 = zero, s2 = zero, before = zero;
        for (size_t i = 0; i < len; i += 16) {
            __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            before = _mm_add_epi32(before, s1);
            s1 = _mm_add_epi64(s1, _mm_sad_epu8(x, zero));
            s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi8(x, zero), w_lo));
            s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpackhi_epi8(x, zero), w_hi));
        }
        alignas(16) uint32_t v1[4], v2[4], vb[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(v1), s1);
        _mm_store_si128(reinterpret_cast<__m128i*>(v2), s2);
        _mm_store_si128(reinterpret_cast<__m128i*>(vb), before);
        uint64_t sum = uint64_t(v1[0]) + v1[2];
        uint64_t weighted = uint64_t(v2[0]) + v2[1] + v2[2] + v2[3];
        uint64_t runs = uint64_t(vb[0]) + vb[2];
        b = (b + len * a + weighted + 16 * runs) % kMod;
        a = (a + sum) % kMod;
        p += len;
        n -= len;
    }
    for (size_t i = 0; i < n; ++i) {
        a += p[i];
        b += a;
    }
    return uint32_t((b % kMod) << 16 | (a % kMod));
#else
    uLong a = ::adler32(0, nullptr, 0);
    while (n) {
        uInt part = n > (1u << 30) ? (1u << 30) : uInt(n);
        a = ::adler32(a, p, part);
        p += part;
        n -= part;
    }
    return uint32_t(a);
#endif
}

namespace {

// ---------------------------------------------------------------------------
// Reading

struct Damaged {
    std::string why;
};

[[noreturn]] void damaged(std::string why) { throw Damaged{std::move(why)}; }

std::string num(uint64_t v) { return std::to_string(v); }

// A range of the patch read front to back through a buffer of its own.
class Cursor {
public:
    Cursor(Input& in, uint64_t at, uint64_t end, std::string what, size_t buffer = 1 << 14)
        : in_(in), pos_(at), end_(end), what_(std::move(what)), buf_(buffer) {}
    uint64_t pos() const { return pos_ - (len_ - off_); }
    uint64_t left() const { return (end_ - pos_) + (len_ - off_); }
    bool at_end() const { return left() == 0; }
    uint8_t byte() {
        if (off_ == len_) fill();
        return buf_[off_++];
    }
    // A VCDIFF integer: base-128 digits, most significant first, each but the
    // last with its top bit set.
    uint64_t integer(const char* name) {
        uint64_t v = 0;
        for (int i = 0; i < 10; ++i) {
            uint8_t b = byte();
            if (v >> 57) damaged(what_ + ": " + name + " overflows 64 bits");
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return v;
        }
        damaged(what_ + ": " + name + " overflows 64 bits");
    }
    void bytes(uint8_t* to, uint64_t n) {
        if (n > left()) short_of();
        size_t have = std::min<uint64_t>(n, len_ - off_);
        std::memcpy(to, buf_.data() + off_, have);
        off_ += have;
        to += have;
        n -= have;
        if (n >= buf_.size()) {
            if (!in_.read(pos_, to, size_t(n))) unreadable();
            pos_ += n;
            return;
        }
        if (n) {
            fill();
            std::memcpy(to, buf_.data(), size_t(n));
            off_ += size_t(n);
        }
    }
    void skip(uint64_t n) {
        if (n > left()) short_of();
        uint64_t have = std::min<uint64_t>(n, len_ - off_);
        off_ += size_t(have);
        pos_ += n - have;
    }

private:
    void fill() {
        if (pos_ == end_) short_of();
        size_t n = size_t(std::min<uint64_t>(buf_.size(), end_ - pos_));
        if (!in_.read(pos_, buf_.data(), n)) unreadable();
        pos_ += n;
        off_ = 0;
        len_ = n;
    }
    [[noreturn]] void short_of() { damaged(what_ + " is cut short"); }
    [[noreturn]] void unreadable() { damaged(what_ + " cannot be read (cut short?)"); }

    Input& in_;
    uint64_t pos_, end_; // what is still to be read into the buffer
    std::string what_;
    std::vector<uint8_t> buf_;
    size_t off_ = 0, len_ = 0;
};

// Source copies as the caller wants them: adjacent ones merged, short ones
// left out.
class CopyList {
public:
    CopyList(std::vector<Copy>* out, uint64_t min) : out_(out), min_(min) {}
    void add(uint64_t target_at, uint64_t source_at, uint64_t length) {
        if (!out_ || !length) return;
        if (have_ && cur_.target_at + cur_.length == target_at && cur_.source_at + cur_.length == source_at) {
            cur_.length += length;
            return;
        }
        flush();
        cur_ = {target_at, source_at, length};
        have_ = true;
    }
    void flush() {
        if (have_ && cur_.length >= min_) out_->push_back(cur_);
        have_ = false;
    }

private:
    std::vector<Copy>* out_;
    uint64_t min_;
    Copy cur_{};
    bool have_ = false;
};

struct Decoder {
    Input& source;
    Input& patch;
    Output& target;
    CopyList copies;
    CodeTable table = default_table();
    uint64_t written = 0;
    std::vector<uint8_t> window; // the target window being rebuilt

    Decoder(Input& s, Input& p, Output& t, std::vector<Copy>* c, uint64_t min)
        : source(s), patch(p), target(t), copies(c, min) {}

    void run();
    void header(Cursor& in, bool nested);
    void custom_table(Cursor& in);
    void one_window(Cursor& in, uint64_t number);
};

void Decoder::header(Cursor& in, bool nested) {
    uint8_t magic[4];
    if (in.left() < 4) damaged("not a VCDIFF file (too short)");
    in.bytes(magic, 4);
    if (std::memcmp(magic, kMagic, 3) != 0) damaged("not a VCDIFF file");
    if (magic[3] != 0) damaged("VCDIFF version " + num(magic[3]) + ", not 0");
    uint8_t ind = in.byte();
    if (ind & ~(kDecompress | kCodeTable | kAppHeader)) damaged("unknown header indicator bits");
    // The secondary compressor's number: only windows that use it are refused.
    if (ind & kDecompress) in.byte();
    if (ind & kCodeTable) {
        if (nested) damaged("a code table's own delta has a code table");
        custom_table(in);
    }
    if (ind & kAppHeader) {
        uint64_t n = in.integer("the application header's length");
        if (n > in.left()) damaged("the application header is cut short");
        in.skip(n);
    }
}

// A code table of the patch's own: the sizes of its two address caches, then
// the six columns, delta-encoded (a whole VCDIFF file) against the default
// table's columns.
void Decoder::custom_table(Cursor& in) {
    uint64_t n = in.integer("the code table's length");
    if (n < 2 || n > kMaxCodeTableData) damaged("a code table of " + num(n) + " bytes");
    if (n > in.left()) damaged("the code table is cut short");
    std::vector<uint8_t> data(n);
    in.bytes(data.data(), n);
    unsigned near = data[0], same = data[1];
    if (2 + near + same > 256) damaged("the code table's address caches are too large");
    std::vector<uint8_t> base = table_columns(default_table());
    MemoryInput base_in(base.data(), base.size());
    MemoryInput delta_in(data.data() + 2, data.size() - 2);
    MemoryOutput columns;
    Decoder inner(base_in, delta_in, columns, nullptr, 0);
    Cursor inner_cursor(delta_in, 0, delta_in.size(), "the code table");
    inner.header(inner_cursor, true);
    for (uint64_t w = 0; !inner_cursor.at_end(); ++w) {
        if (inner.written > base.size()) break;
        inner.one_window(inner_cursor, w);
    }
    if (columns.bytes.size() != base.size()) damaged("the code table holds " + num(columns.bytes.size()) + " bytes, not 1536");
    const uint8_t* c = columns.bytes.data();
    // A mode past the caches' is refused where an instruction uses it.
    for (int i = 0; i < 256; ++i) {
        Code code{{c[i], c[512 + i], c[1024 + i]}, {c[256 + i], c[768 + i], c[1280 + i]}};
        if (code.one.type > kCopy || code.two.type > kCopy) damaged("the code table has an instruction of unknown type");
        table.codes[i] = code;
    }
    table.near = near;
    table.same = same;
}

void Decoder::one_window(Cursor& in, uint64_t number) {
    const std::string w = "window " + num(number + 1);
    uint8_t ind = in.byte();
    if (ind & ~(kSource | kTarget | kAdler32)) damaged(w + ": unknown indicator bits");
    if ((ind & kSource) && (ind & kTarget)) damaged(w + ": both a source and a target segment");
    uint64_t seg_len = 0, seg_pos = 0;
    if (ind & (kSource | kTarget)) {
        seg_len = in.integer("the segment's length");
        seg_pos = in.integer("the segment's position");
        uint64_t limit = (ind & kSource) ? source.size() : written;
        if (seg_pos > limit || seg_len > limit - seg_pos)
            damaged(w + ": its segment lies past the end of the " + ((ind & kSource) ? "source" : "target so far") +
                    " (" + num(seg_pos) + " + " + num(seg_len) + " > " + num(limit) + ")");
    }
    uint64_t delta_len = in.integer("the delta's length");
    uint64_t delta_at = in.pos();
    if (delta_len > in.left()) damaged(w + " is cut short");
    uint64_t target_len = in.integer("the target window's length");
    if (target_len > kMaxWindow)
        damaged(w + ": a target window of " + num(target_len) + " bytes (more than 16 MiB)");
    uint8_t delta_ind = in.byte();
    uint64_t data_len = in.integer("the data section's length");
    uint64_t inst_len = in.integer("the instructions' length");
    uint64_t addr_len = in.integer("the addresses' length");
    uint32_t checksum = 0;
    if (ind & kAdler32) {
        uint8_t b[4];
        in.bytes(b, 4);
        checksum = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    }
    if (delta_ind & ~0x07) damaged(w + ": unknown delta indicator bits");
    if (delta_ind)
        damaged(w + ": its sections use secondary compression (xdelta3 -S), which is not supported (make the patch with -S none)");
    uint64_t head = in.pos() - delta_at;
    if (head > delta_len || data_len > delta_len - head || inst_len > delta_len - head - data_len ||
        addr_len != delta_len - head - data_len - inst_len)
        damaged(w + ": its section lengths disagree with its length");
    if (data_len > target_len) damaged(w + ": more added bytes than its target holds");

    uint64_t data_at = in.pos();
    Cursor data(patch, data_at, data_at + data_len, w + "'s data");
    Cursor inst(patch, data_at + data_len, data_at + data_len + inst_len, w + "'s instructions");
    Cursor addr(patch, data_at + data_len + inst_len, data_at + data_len + inst_len + addr_len, w + "'s addresses");

    window.resize(size_t(target_len));
    uint8_t* out = window.data();
    uint64_t pos = 0;
    AddressCache cache(table.near, table.same);
    const uint64_t window_at = written;
    while (!inst.at_end()) {
        const Code& code = table.codes[inst.byte()];
        for (const Half* h : {&code.one, &code.two}) {
            if (h->type == kNoop) continue;
            uint64_t size = h->size ? h->size : inst.integer("an instruction's size");
            if (size > target_len - pos) damaged(w + ": its instructions make more than its " + num(target_len) + " bytes");
            if (h->type == kAdd) {
                if (size > data.left()) damaged(w + ": its data section is too short for its instructions");
                data.bytes(out + pos, size);
            } else if (h->type == kRun) {
                if (data.at_end()) damaged(w + ": its data section is too short for its instructions");
                std::memset(out + pos, data.byte(), size_t(size));
            } else {
                uint64_t here = seg_len + pos, a;
                unsigned mode = h->mode;
                if (mode == 0) {
                    a = addr.integer("an address");
                } else if (mode == 1) {
                    uint64_t back = addr.integer("an address");
                    if (back > here) damaged(w + ": a copy from before its segment");
                    a = here - back;
                } else if (mode < 2 + cache.near_size) {
                    uint64_t plus = addr.integer("an address");
                    a = cache.near[mode - 2] + plus;
                    if (a < plus) damaged(w + ": an address overflows");
                } else {
                    unsigned m = mode - 2 - cache.near_size;
                    if (m >= cache.same_size) damaged(w + ": an unknown address mode");
                    a = cache.same[size_t(m) * 256 + addr.byte()];
                }
                if (a >= here) damaged(w + ": a copy from address " + num(a) + ", not yet rebuilt (" + num(here) + ")");
                cache.update(a);
                uint64_t left = size;
                if (a < seg_len) {
                    uint64_t n = std::min(left, seg_len - a);
                    if (ind & kSource) {
                        if (!source.read(seg_pos + a, out + pos, size_t(n))) damaged(w + ": the source cannot be read");
                        copies.add(window_at + pos, seg_pos + a, n);
                    } else if (!target.read_back(seg_pos + a, out + pos, size_t(n))) {
                        damaged(w + ": copies from the target written before, which cannot be read back here");
                    }
                    pos += n;
                    left -= n;
                    a += n;
                }
                // From the window's own bytes, which the copy may overlap:
                // then it repeats the bytes from `from` on.
                uint64_t from = a - seg_len;
                while (left) {
                    uint64_t n = std::min(left, pos - from);
                    std::memcpy(out + pos, out + from, size_t(n));
                    pos += n;
                    from += n;
                    left -= n;
                }
                continue;
            }
            pos += size;
        }
    }
    if (pos != target_len) damaged(w + ": its instructions make " + num(pos) + " of its " + num(target_len) + " bytes");
    if (!data.at_end() || !addr.at_end()) damaged(w + ": its sections hold bytes that no instruction uses");
    if ((ind & kAdler32) && adler32(out, size_t(target_len)) != checksum) damaged(w + ": its checksum does not match");
    in.skip(data_len + inst_len + addr_len);
    target.write(out, size_t(target_len));
    written += target_len;
}

void Decoder::run() {
    Cursor in(patch, 0, patch.size(), "the patch");
    header(in, false);
    for (uint64_t w = 0; !in.at_end(); ++w) one_window(in, w);
    copies.flush();
}

} // namespace

DecodeResult decode(Input& source, Input& patch, Output& target, std::vector<Copy>* copies, uint64_t min_copy) {
    DecodeResult r;
    Decoder d(source, patch, target, copies, min_copy);
    try {
        d.run();
        r.ok = true;
    } catch (const Damaged& e) {
        r.why = e.why;
    }
    r.target_size = d.written;
    return r;
}

// ---------------------------------------------------------------------------
// Writing

namespace {

constexpr uint64_t kEncodeWindow = uint64_t(1) << 22;
// The match finder: blocks of kBlock bytes of the source, one every `step`
// bytes, in a table of at most kMaxSlots entries (8 bytes each).
constexpr size_t kBlock = 16;
constexpr size_t kMaxSlots = size_t(1) << 21;
constexpr uint32_t kPrime = 0x01000193u;
// A run of the same byte this long is a RUN rather than added bytes.
constexpr size_t kMinRun = 8;

void put_int(std::vector<uint8_t>& v, uint64_t x) {
    uint8_t b[10];
    int n = 0;
    b[n++] = uint8_t(x & 0x7F);
    while (x >>= 7) b[n++] = uint8_t(0x80 | (x & 0x7F));
    while (n) v.push_back(b[--n]);
}

size_t int_len(uint64_t x) {
    size_t n = 1;
    while (x >>= 7) ++n;
    return n;
}

class SourceIndex {
public:
    struct Slot {
        uint32_t block = 0; // block number + 1; 0: empty
        uint32_t hash = 0;
    };

    // False when the source could not be read.
    bool build(Input& source) {
        uint64_t size = source.size();
        if (size < kBlock) return true;
        uint64_t blocks = size / kBlock;
        step_ = kBlock;
        while (blocks > kMaxSlots && step_ < (uint64_t(1) << 40)) {
            step_ *= 2;
            blocks = size / step_;
        }
        if (size / step_ >= UINT32_MAX) return true;
        bits_ = 4;
        while ((size_t(1) << bits_) < blocks * 2 && (size_t(1) << bits_) < kMaxSlots) ++bits_;
        slots_.assign(size_t(1) << bits_, Slot{});
        const size_t chunk = size_t(1) << 20;
        std::vector<uint8_t> buf(chunk + kBlock);
        for (uint64_t at = 0; at + kBlock <= size; at += chunk) {
            size_t n = size_t(std::min<uint64_t>(chunk + kBlock, size - at));
            if (!source.read(at, buf.data(), n)) return false;
            for (uint64_t p = 0; p < chunk && p + kBlock <= n; p += step_) {
                uint32_t h = hash(buf.data() + p);
                Slot& s = slots_[slot(h)];
                s.block = uint32_t((at + p) / step_ + 1);
                s.hash = h;
            }
        }
        return true;
    }
    bool empty() const { return slots_.empty(); }
    static uint32_t hash(const uint8_t* p) {
        uint32_t h = 0;
        for (size_t i = 0; i < kBlock; ++i) h = h * kPrime + p[i];
        return h;
    }
    // The source position of a block whose hash is h, if any.
    bool find(uint32_t h, uint64_t* at) const {
        const Slot& s = slots_[slot(h)];
        if (!s.block || s.hash != h) return false;
        *at = uint64_t(s.block - 1) * step_;
        return true;
    }
    void prefetch(uint32_t h) const { __builtin_prefetch(&slots_[slot(h)]); }

private:
    size_t slot(uint32_t h) const { return size_t((h * 0x9E3779B1u) >> (32 - bits_)); }
    uint64_t step_ = kBlock;
    unsigned bits_ = 0;
    std::vector<Slot> slots_;
};

// One instruction of a window being written.
struct Piece {
    enum Kind : uint8_t { Add, Run, Copy } kind;
    uint64_t at;     // in the window
    uint64_t length;
    uint64_t source; // Copy: the source position
};

class Encoder {
public:
    Encoder(Input& source, Input& target, Output& patch, const SourceIndex* index)
        : source_(source), target_(target), patch_(patch), index_(index) {}
    bool window(uint64_t at, uint64_t length, const std::vector<Copy>& known, size_t first, size_t last);

private:
    void literal(uint64_t from, uint64_t to);
    bool search(uint64_t from, uint64_t to);
    uint64_t match_back(uint64_t at, uint64_t source_at, uint64_t limit);
    uint64_t match_forward(uint64_t at, uint64_t source_at, uint64_t limit);
    void write_window(uint64_t length);
    void add_code(const Piece& p, uint64_t seg_lo, uint64_t seg_len, AddressCache& cache);
    void flush_held();

    Input& source_;
    Input& target_;
    Output& patch_;
    const SourceIndex* index_;
    bool source_failed_ = false;
    std::vector<uint8_t> win_;
    uint64_t win_at_ = 0;
    std::vector<Piece> pieces_;
    std::vector<uint8_t> inst_, addr_;
    uint64_t data_len_ = 0;
    // An instruction that may join the next in one code: ADD of 1-4 bytes
    // (held_ = its size) or COPY of 4 bytes (held_ = 16 + its mode).
    int held_ = 0;
    std::vector<uint8_t> scratch_;
};

void Encoder::literal(uint64_t from, uint64_t to) {
    uint64_t start = from, i = from;
    while (i < to) {
        uint64_t j = i + 1;
        while (j < to && win_[j] == win_[i]) ++j;
        if (j - i >= kMinRun) {
            if (i > start) pieces_.push_back({Piece::Add, start, i - start, 0});
            pieces_.push_back({Piece::Run, i, j - i, 0});
            start = j;
        }
        i = j;
    }
    if (to > start) pieces_.push_back({Piece::Add, start, to - start, 0});
}

// How many bytes before window offset `at` (down to `limit`) equal those
// before `source_at` in the source.
uint64_t Encoder::match_back(uint64_t at, uint64_t source_at, uint64_t limit) {
    uint64_t n = 0;
    uint8_t buf[256];
    while (at - n > limit && source_at - n > 0) {
        size_t take = size_t(std::min<uint64_t>({sizeof buf, at - n - limit, source_at - n}));
        if (!source_.read(source_at - n - take, buf, take)) {
            source_failed_ = true;
            return n;
        }
        for (size_t k = take; k > 0; --k) {
            if (buf[k - 1] != win_[at - n - 1]) return n;
            ++n;
        }
    }
    return n;
}

// How many bytes from window offset `at` (up to `limit`) equal those from
// `source_at` in the source.
uint64_t Encoder::match_forward(uint64_t at, uint64_t source_at, uint64_t limit) {
    uint64_t n = 0, size = source_.size();
    size_t chunk = 64;
    scratch_.resize(size_t(1) << 16);
    while (at + n < limit && source_at + n < size) {
        size_t take = size_t(std::min<uint64_t>({chunk, limit - at - n, size - source_at - n}));
        if (!source_.read(source_at + n, scratch_.data(), take)) {
            source_failed_ = true;
            return n;
        }
        const uint8_t* t = win_.data() + at + n;
        size_t k = 0;
        while (k < take && scratch_[k] == t[k]) ++k;
        n += k;
        if (k < take) return n;
        chunk = std::min<size_t>(chunk * 4, scratch_.size());
    }
    return n;
}

// The bytes of [from, to) of the window: copies of the source where the index
// finds them, added bytes and runs elsewhere.
bool Encoder::search(uint64_t from, uint64_t to) {
    uint64_t pending = from; // the first byte not yet in an instruction
    uint64_t i = from;
    uint32_t pow = 1;
    for (size_t k = 0; k < kBlock; ++k) pow *= kPrime;
    while (i + kBlock <= to) {
        uint32_t h = SourceIndex::hash(win_.data() + i);
        for (;;) {
            uint64_t s;
            if (index_->find(h, &s)) {
                uint64_t fwd = match_forward(i, s, to);
                if (fwd >= kBlock) {
                    uint64_t back = match_back(i, s, pending);
                    uint64_t start = i - back;
                    if (start > pending) literal(pending, start);
                    pieces_.push_back({Piece::Copy, start, back + fwd, s - back});
                    i += fwd;
                    pending = i;
                    break;
                }
            }
            if (i + kBlock >= to) {
                i = to;
                break;
            }
            h = h * kPrime + win_[i + kBlock] - pow * win_[i];
            ++i;
        }
        if (source_failed_) return false;
    }
    if (to > pending) literal(pending, to);
    return true;
}

void Encoder::flush_held() {
    if (held_ >= 16) inst_.push_back(uint8_t(19 + 16 * (held_ - 16) + 1));
    else if (held_ > 0) inst_.push_back(uint8_t(1 + held_));
    held_ = 0;
}

void Encoder::add_code(const Piece& p, uint64_t seg_lo, uint64_t seg_len, AddressCache& cache) {
    uint64_t size = p.length;
    if (p.kind == Piece::Run) {
        flush_held();
        inst_.push_back(0);
        put_int(inst_, size);
        data_len_ += 1;
        return;
    }
    if (p.kind == Piece::Add) {
        data_len_ += size;
        if (held_ >= 16 && size == 1) {
            inst_.push_back(uint8_t(247 + (held_ - 16)));
            held_ = 0;
            return;
        }
        flush_held();
        if (size <= 4) {
            held_ = int(size);
        } else if (size <= 17) {
            inst_.push_back(uint8_t(1 + size));
        } else {
            inst_.push_back(1);
            put_int(inst_, size);
        }
        return;
    }
    // COPY: the address in the mode that takes the fewest bytes.
    uint64_t a = p.source - seg_lo, here = seg_len + p.at;
    unsigned mode = 0;
    uint64_t value = a;
    size_t best = int_len(a);
    if (int_len(here - a) < best) {
        mode = 1;
        value = here - a;
        best = int_len(value);
    }
    for (unsigned k = 0; k < cache.near_size; ++k) {
        if (a >= cache.near[k] && int_len(a - cache.near[k]) < best) {
            mode = 2 + k;
            value = a - cache.near[k];
            best = int_len(value);
        }
    }
    size_t same_slot = size_t(a % (cache.same_size * 256));
    bool same = cache.same[same_slot] == a && best > 1;
    if (same) {
        mode = 2 + cache.near_size + unsigned(same_slot / 256);
        addr_.push_back(uint8_t(same_slot % 256));
    } else {
        put_int(addr_, value);
    }
    cache.update(a);
    if (held_ > 0 && held_ < 16) {
        if (mode <= 5 && size >= 4 && size <= 6) {
            inst_.push_back(uint8_t(163 + mode * 12 + (held_ - 1) * 3 + (size - 4)));
            held_ = 0;
            return;
        }
        if (mode >= 6 && size == 4) {
            inst_.push_back(uint8_t(235 + (mode - 6) * 4 + (held_ - 1)));
            held_ = 0;
            return;
        }
    }
    flush_held();
    if (size == 4) {
        held_ = int(16 + mode);
    } else if (size >= 4 && size <= 18) {
        inst_.push_back(uint8_t(19 + 16 * mode + (size - 3)));
    } else {
        inst_.push_back(uint8_t(19 + 16 * mode));
        put_int(inst_, size);
    }
}

void Encoder::write_window(uint64_t length) {
    uint64_t lo = UINT64_MAX, hi = 0;
    for (const Piece& p : pieces_) {
        if (p.kind != Piece::Copy) continue;
        lo = std::min(lo, p.source);
        hi = std::max(hi, p.source + p.length);
    }
    bool has_source = lo != UINT64_MAX;
    uint64_t seg_len = has_source ? hi - lo : 0;
    AddressCache cache(4, 3);
    inst_.clear();
    addr_.clear();
    data_len_ = 0;
    held_ = 0;
    for (const Piece& p : pieces_) add_code(p, lo, seg_len, cache);
    flush_held();

    std::vector<uint8_t> head;
    head.push_back(uint8_t((has_source ? kSource : 0) | kAdler32));
    if (has_source) {
        put_int(head, seg_len);
        put_int(head, lo);
    }
    std::vector<uint8_t> delta;
    put_int(delta, length);
    delta.push_back(0);
    put_int(delta, data_len_);
    put_int(delta, inst_.size());
    put_int(delta, addr_.size());
    uint32_t sum = adler32(win_.data(), size_t(length));
    for (int s = 24; s >= 0; s -= 8) delta.push_back(uint8_t(sum >> s));
    put_int(head, delta.size() + data_len_ + inst_.size() + addr_.size());
    head.insert(head.end(), delta.begin(), delta.end());
    patch_.write(head.data(), head.size());
    // The data section: the added bytes and each run's byte, in order, straight
    // from the window.
    for (const Piece& p : pieces_) {
        if (p.kind == Piece::Add) patch_.write(win_.data() + p.at, size_t(p.length));
        else if (p.kind == Piece::Run) patch_.write(win_.data() + p.at, 1);
    }
    patch_.write(inst_.data(), inst_.size());
    patch_.write(addr_.data(), addr_.size());
}

// The window [at, at + length) of the target, with the known copies
// [first, last) that overlap it.
bool Encoder::window(uint64_t at, uint64_t length, const std::vector<Copy>& known, size_t first, size_t last) {
    win_.resize(size_t(length));
    win_at_ = at;
    if (length && !target_.read(at, win_.data(), size_t(length))) return false;
    pieces_.clear();
    uint64_t pos = 0; // in the window
    auto gap = [&](uint64_t to) {
        if (to <= pos) return true;
        if (index_ && !index_->empty()) {
            if (!search(pos, to)) return false;
        } else {
            literal(pos, to);
        }
        return true;
    };
    for (size_t k = first; k < last; ++k) {
        const Copy& c = known[k];
        uint64_t from = std::max(c.target_at, at), to = std::min(c.target_at + c.length, at + length);
        if (from >= to) continue;
        if (!gap(from - at)) return false;
        pieces_.push_back({Piece::Copy, from - at, to - from, c.source_at + (from - c.target_at)});
        pos = to - at;
    }
    if (!gap(length)) return false;
    write_window(length);
    return true;
}

} // namespace

bool encode(Input& source, Input& target, const std::vector<Copy>& known, Output& patch,
            const EncodeOptions& options) {
    patch.write(kMagic, 4);
    patch.write("\0", 1);
    // The known copies that keep to the promise: in order, apart, inside both files.
    std::vector<Copy> copies;
    uint64_t end = 0, covered = 0;
    for (const Copy& c : known) {
        if (!c.length || c.target_at < end || c.target_at > target.size() || c.length > target.size() - c.target_at ||
            c.source_at > source.size() || c.length > source.size() - c.source_at)
            continue;
        copies.push_back(c);
        end = c.target_at + c.length;
        covered += c.length;
    }
    SourceIndex index;
    bool searching = options.search && target.size() - covered >= kBlock && source.size() >= kBlock;
    if (searching && !index.build(source)) return false;
    Encoder e(source, target, patch, searching ? &index : nullptr);
    uint64_t size = target.size();
    size_t first = 0;
    // An empty target is still one window: xdelta3 reads a patch of no window
    // as nothing to do.
    uint64_t at = 0;
    do {
        uint64_t length = std::min(kEncodeWindow, size - at);
        while (first < copies.size() && copies[first].target_at + copies[first].length <= at) ++first;
        size_t last = first;
        while (last < copies.size() && copies[last].target_at < at + length) ++last;
        if (!e.window(at, length, copies, first, last)) return false;
        at += length;
    } while (at < size);
    return true;
}

} // namespace vcdiff
