// VCDIFF patches and SHA-256, called directly: round trips through the
// encoder and decoder, patches that Debian's xdelta3 makes and applies,
// patches put together byte by byte for every instruction and address mode,
// and damaged patches.
#include "formats/vcdiff.hpp"
#include "platform/sha256.hpp"
#include "support/jobtest.hpp"

#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------------------
// SHA-256

TEST(Sha256, KnownDigests) {
    Bytes mib(size_t(1) << 20);
    for (size_t i = 0; i < mib.size(); ++i) mib[i] = uint8_t((i * 7 + (i >> 11)) % 251);
    struct Case {
        std::string name;
        Bytes data;
        size_t piece; // fed in pieces of this size
        std::string digest;
    } cases[] = {
        {"empty", {}, 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", to_bytes("abc"), 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"two blocks", to_bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"), 5,
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"1 MiB in uneven pieces", mib, 65537, "5ef54bbd4a83414bb86ff94c1d9d20626c8b1dff60cd676c3c68f2671be9dd75"},
        {"1 MiB at once", mib, mib.size(), "5ef54bbd4a83414bb86ff94c1d9d20626c8b1dff60cd676c3c68f2671be9dd75"},
    };
    // One hasher for all: finish starts it over.
    sha256::Hasher h;
    for (const Case& c : cases) {
        for (size_t at = 0; at < c.data.size(); at += c.piece)
            h.update(c.data.data() + at, std::min(c.piece, c.data.size() - at));
        EXPECT_EQ(sha256::hex(h.finish()), c.digest) << c.name;
    }
}

// ---------------------------------------------------------------------------
// Helpers

Bytes random_bytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = uint8_t(rng());
    return b;
}

// A target made of the source with random edits: bytes replaced, inserted and
// removed every few kilobytes.
Bytes edited(const Bytes& source, uint32_t seed, size_t every) {
    std::mt19937 rng(seed);
    Bytes t;
    size_t i = 0;
    while (i < source.size()) {
        size_t keep = std::min(source.size() - i, size_t(rng() % every + 1));
        t.insert(t.end(), source.begin() + long(i), source.begin() + long(i + keep));
        i += keep;
        switch (rng() % 3) {
        case 0: for (int k = int(rng() % 20); k >= 0; --k) t.push_back(uint8_t(rng())); break; // inserted
        case 1: i += rng() % 20; break;                                                        // removed
        default:                                                                               // replaced
            for (int k = int(rng() % 20); k >= 0 && i < source.size(); --k, ++i) t.push_back(uint8_t(rng()));
        }
    }
    return t;
}

Bytes encoded(const Bytes& source, const Bytes& target, const std::vector<vcdiff::Copy>& known, bool search) {
    vcdiff::MemoryInput s(source.data(), source.size()), t(target.data(), target.size());
    vcdiff::MemoryOutput patch;
    EXPECT_TRUE(vcdiff::encode(s, t, known, patch, {search}));
    return patch.bytes;
}

struct Decoded {
    vcdiff::DecodeResult result;
    Bytes target;
    std::vector<vcdiff::Copy> copies;
};

Decoded decoded(const Bytes& source, const Bytes& patch, uint64_t min_copy = 256) {
    vcdiff::MemoryInput s(source.data(), source.size()), p(patch.data(), patch.size());
    vcdiff::MemoryOutput out;
    Decoded d;
    d.result = vcdiff::decode(s, p, out, &d.copies, min_copy);
    d.target = std::move(out.bytes);
    return d;
}

// A scratch folder for xdelta3's files.
class Scratch {
public:
    Scratch() {
        std::string t = (fs::temp_directory_path() / "vcdiff-XXXXXX").string();
        dir_ = mkdtemp(t.data());
    }
    ~Scratch() { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (fs::path(dir_) / name).string(); }
    void put(const std::string& name, const Bytes& b) const {
        std::ofstream(path(name), std::ios::binary).write(reinterpret_cast<const char*>(b.data()), long(b.size()));
    }
    Bytes get(const std::string& name) const {
        std::ifstream f(path(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), {});
    }

private:
    std::string dir_;
};

bool have_xdelta3() { return std::system("xdelta3 -V >/dev/null 2>&1") == 0; }

int xdelta3(const std::string& args) { return std::system(("xdelta3 -f -q " + args + " 2>/dev/null").c_str()); }

// An archive-like pair: members of random bytes, some replaced and the rest
// moved by the new sizes; the copies the caller knows are the kept members.
struct Archive {
    Bytes source, target;
    std::vector<vcdiff::Copy> known;
};

Archive archive(size_t members, size_t member_size, uint32_t seed) {
    std::mt19937 rng(seed);
    Archive a;
    for (size_t m = 0; m < members; ++m) {
        Bytes body = random_bytes(member_size / 2 + rng() % member_size, seed + uint32_t(m));
        uint64_t source_at = a.source.size();
        a.source.insert(a.source.end(), body.begin(), body.end());
        if (m % 7 == 3) {
            Bytes other = random_bytes(body.size() + rng() % 100, seed * 31 + uint32_t(m));
            a.target.insert(a.target.end(), other.begin(), other.end());
        } else {
            a.known.push_back({a.target.size(), source_at, body.size()});
            a.target.insert(a.target.end(), body.begin(), body.end());
        }
    }
    Bytes directory = random_bytes(members * 40, seed + 7);
    a.target.insert(a.target.end(), directory.begin(), directory.end());
    return a;
}

struct RoundTrip {
    std::string name;
    Bytes source, target;
    std::vector<vcdiff::Copy> known;
    bool search;
    size_t max_patch; // the patch is at most this long
};

std::vector<RoundTrip> round_trips() {
    std::vector<RoundTrip> cases;
    Bytes mib = random_bytes(1 << 20, 1);
    cases.push_back({"both empty", {}, {}, {}, true, 16});
    cases.push_back({"empty source", {}, random_bytes(5000, 2), {}, true, 5100});
    cases.push_back({"empty target", mib, {}, {}, true, 16});
    cases.push_back({"runs without source", {}, Bytes(100000, 'x'), {}, false, 64});
    Archive a = archive(60, 150000, 3); // about 9 MiB: several windows, copies across their edges
    size_t replaced = a.target.size();
    for (const auto& k : a.known) replaced -= size_t(k.length);
    cases.push_back({"known copies only", a.source, a.target, a.known, false, replaced + replaced / 100 + 4096});
    cases.push_back({"known copies and search", a.source, a.target, a.known, true, replaced + replaced / 100 + 4096});
    Bytes e = edited(mib, 4, 4000);
    cases.push_back({"search on random edits", mib, e, {}, true, e.size() / 50});
    Bytes big = random_bytes(20 << 20, 5); // past 16 MiB
    Bytes big_edited = edited(big, 6, 200000);
    cases.push_back({"search past 16 MiB", big, big_edited, {}, true, big.size() / 100});
    cases.push_back({"nothing found without search", mib, e, {}, false, e.size() + 4096});
    return cases;
}

// The windows' checksum against zlib's, at the lengths where its blocks and
// lanes end, on bytes that make its sums as large as they get.
TEST(Vcdiff, Adler32) {
    Bytes ff(3 << 20, 0xFF), random = random_bytes(3 << 20, 40);
    for (const Bytes* data : {&ff, &random})
        for (size_t n : {size_t(0), size_t(1), size_t(15), size_t(16), size_t(17), size_t(4095), size_t(4096),
                         size_t(4097), size_t(5552), size_t(65536 + 5), data->size()})
            EXPECT_EQ(vcdiff::adler32(data->data(), n), uint32_t(adler32(1, data->data(), uInt(n))))
                << n << (data == &ff ? " bytes 0xFF" : " random bytes");
}

// ---------------------------------------------------------------------------
// Round trips, and xdelta3 applying the same patches

TEST(Vcdiff, RoundTrips) {
    for (const RoundTrip& c : round_trips()) {
        Bytes patch = encoded(c.source, c.target, c.known, c.search);
        EXPECT_LE(patch.size(), c.max_patch) << c.name;
        Decoded d = decoded(c.source, patch);
        ASSERT_TRUE(d.result.ok) << c.name << ": " << d.result.why;
        EXPECT_EQ(d.result.target_size, c.target.size()) << c.name;
        EXPECT_TRUE(d.target == c.target) << c.name;
        if (!c.search && !c.known.empty()) {
            // The copies it made are the known ones, adjacent ones merged.
            std::vector<vcdiff::Copy> merged;
            for (const auto& k : c.known) {
                if (!merged.empty() && merged.back().target_at + merged.back().length == k.target_at &&
                    merged.back().source_at + merged.back().length == k.source_at)
                    merged.back().length += k.length;
                else
                    merged.push_back(k);
            }
            EXPECT_TRUE(d.copies == merged) << c.name << ": " << d.copies.size() << " copies, not " << merged.size();
        }
    }
}

TEST(Vcdiff, KnownCopiesOutOfOrderAreNotTaken) {
    Bytes source = random_bytes(10000, 8), target = source;
    target[5000] ^= 1;
    // Overlapping, past either end, empty: taken as unknown bytes; the patch
    // still gives the target.
    std::vector<vcdiff::Copy> known = {{0, 0, 5000}, {4000, 4000, 100}, {5001, 5001, 4999}, {9000, 9990, 1000},
                                       {9500, 0, 0},  {9999, 0, 2}};
    for (bool search : {false, true}) {
        Decoded d = decoded(source, encoded(source, target, known, search), 1);
        ASSERT_TRUE(d.result.ok) << d.result.why;
        EXPECT_TRUE(d.target == target);
        EXPECT_EQ(d.copies.size(), 2u);
        EXPECT_EQ(d.copies.front(), (vcdiff::Copy{0, 0, 5000}));
    }
}

TEST(Vcdiff, XdeltaAppliesOurPatches) {
    if (!have_xdelta3()) GTEST_SKIP() << "xdelta3 is not installed";
    Scratch dir;
    for (const RoundTrip& c : round_trips()) {
        dir.put("source", c.source);
        dir.put("patch", encoded(c.source, c.target, c.known, c.search));
        ASSERT_EQ(xdelta3("-d -s " + dir.path("source") + " " + dir.path("patch") + " " + dir.path("out")), 0) << c.name;
        EXPECT_TRUE(dir.get("out") == c.target) << c.name;
    }
}

// Data that makes xdelta3 use every address mode: copies from scattered and
// repeated places of the source, and repeats within the target itself.
Bytes shuffled(const Bytes& source, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes t;
    while (t.size() < source.size()) {
        switch (rng() % 4) {
        case 0: { // a piece of the source from anywhere
            size_t n = 4 + rng() % 60, at = rng() % (source.size() - n);
            t.insert(t.end(), source.begin() + long(at), source.begin() + long(at + n));
            break;
        }
        case 1: { // a piece of what was made already
            if (t.size() < 100) break;
            size_t n = 4 + rng() % 30, at = t.size() - 1 - rng() % std::min<size_t>(t.size() - n, 5000) - n;
            for (size_t k = 0; k < n; ++k) t.push_back(t[at + k]);
            break;
        }
        case 2: t.insert(t.end(), 4 + rng() % 40, uint8_t(rng())); break; // a run
        default: for (int k = int(rng() % 6); k >= 0; --k) t.push_back(uint8_t(rng()));
        }
    }
    return t;
}

TEST(Vcdiff, ReadsXdeltaPatches) {
    if (!have_xdelta3()) GTEST_SKIP() << "xdelta3 is not installed";
    Scratch dir;
    Bytes mib = random_bytes(1 << 20, 9);
    Bytes text;
    for (int i = 0; text.size() < 300000; ++i) {
        std::string line = "line " + std::to_string(i % 977) + ": the same words again and again\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    Archive a = archive(40, 100000, 10);
    struct Case {
        std::string name, options;
        Bytes source, target;
    } cases[] = {
        {"scattered copies", "-S none", mib, shuffled(mib, 11)},
        {"no application header", "-A -S none", mib, shuffled(mib, 12)},
        {"no checksum", "-A -n -S none", mib, edited(mib, 13, 3000)},
        {"fastest", "-0 -S none", mib, shuffled(mib, 14)},
        {"best", "-9 -S none", text, edited(text, 15, 500)},
        {"small windows", "-W 16384 -S none", text, shuffled(text, 16)},
        {"no source", "-A -S none", {}, text},
        {"archive", "-S none", a.source, a.target},
        {"empty target", "-S none", mib, {}},
    };
    for (const Case& c : cases) {
        dir.put("source", c.source);
        dir.put("target", c.target);
        ASSERT_EQ(xdelta3("-e " + c.options + " -s " + dir.path("source") + " " + dir.path("target") + " " +
                          dir.path("patch")),
                  0)
            << c.name;
        Decoded d = decoded(c.source, dir.get("patch"));
        ASSERT_TRUE(d.result.ok) << c.name << ": " << d.result.why;
        EXPECT_TRUE(d.target == c.target) << c.name;
    }
    // Secondary compression is refused with the reason.
    dir.put("source", mib);
    dir.put("target", edited(mib, 17, 3000));
    ASSERT_EQ(xdelta3("-e -S djw -s " + dir.path("source") + " " + dir.path("target") + " " + dir.path("patch")), 0);
    Decoded d = decoded(mib, dir.get("patch"));
    EXPECT_FALSE(d.result.ok);
    EXPECT_NE(d.result.why.find("secondary compression"), std::string::npos) << d.result.why;
}

// ---------------------------------------------------------------------------
// Patches put together byte by byte

void put_int(Bytes& b, uint64_t v) {
    Bytes digits;
    do {
        digits.push_back(uint8_t(v & 0x7F));
        v >>= 7;
    } while (v);
    for (size_t i = digits.size(); i-- > 0;) b.push_back(uint8_t(digits[i] | (i ? 0x80 : 0)));
}

Bytes header(uint8_t indicator = 0, const Bytes& after = {}) {
    Bytes b = {0xD6, 0xC3, 0xC4, 0x00, indicator};
    b.insert(b.end(), after.begin(), after.end());
    return b;
}

uint32_t adler32_of(const std::string& s) {
    uint32_t a = 1, b = 0;
    for (unsigned char c : s) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

struct Window {
    uint8_t indicator = 0; // 1: source segment, 2: target segment
    uint64_t seg_len = 0, seg_pos = 0;
    std::string target;  // what it makes, for its length and checksum
    Bytes data, inst, addr;
    bool adler = true;
    int64_t length_off = 0; // added to the delta's length
    int64_t target_off = 0; // added to the target window's length
    uint8_t delta_indicator = 0;
};

Bytes window(const Window& w) {
    Bytes b = {uint8_t(w.indicator | (w.adler ? 4 : 0))};
    if (w.indicator) {
        put_int(b, w.seg_len);
        put_int(b, w.seg_pos);
    }
    Bytes d;
    put_int(d, uint64_t(int64_t(w.target.size()) + w.target_off));
    d.push_back(w.delta_indicator);
    put_int(d, w.data.size());
    put_int(d, w.inst.size());
    put_int(d, w.addr.size());
    if (w.adler) {
        uint32_t a = adler32_of(w.target);
        for (int s = 24; s >= 0; s -= 8) d.push_back(uint8_t(a >> s));
    }
    put_int(b, uint64_t(int64_t(d.size() + w.data.size() + w.inst.size() + w.addr.size()) + w.length_off));
    for (const Bytes* x : {static_cast<const Bytes*>(&d), &w.data, &w.inst, &w.addr}) b.insert(b.end(), x->begin(), x->end());
    return b;
}

Bytes patch_of(const Bytes& head, std::initializer_list<Window> windows) {
    Bytes b = head;
    for (const Window& w : windows) {
        Bytes x = window(w);
        b.insert(b.end(), x.begin(), x.end());
    }
    return b;
}

Bytes str(const std::string& s) { return to_bytes(s); }

// Default code table: COPY of 4 bytes in mode m is 20 + 16 m, ADD of n (1-17)
// is 1 + n, COPY of n (4-18) in mode 0 is 16 + n.
constexpr uint8_t copy4(int mode) { return uint8_t(20 + 16 * mode); }

// A code table of the patch's own: the default one with code 255 an ADD of 3
// bytes, and caches of `near` and `same` entries.
Bytes custom_table(uint8_t near, uint8_t same) {
    Bytes columns(1536);
    // The default table's columns, as the decoder builds them.
    struct H {
        uint8_t t, s, m;
    };
    std::vector<std::pair<H, H>> codes;
    codes.push_back({{2, 0, 0}, {0, 0, 0}});
    for (int s = 0; s <= 17; ++s) codes.push_back({{1, uint8_t(s), 0}, {0, 0, 0}});
    for (int m = 0; m < 9; ++m) {
        codes.push_back({{3, 0, uint8_t(m)}, {0, 0, 0}});
        for (int s = 4; s <= 18; ++s) codes.push_back({{3, uint8_t(s), uint8_t(m)}, {0, 0, 0}});
    }
    for (int m = 0; m < 6; ++m)
        for (int a = 1; a <= 4; ++a)
            for (int c = 4; c <= 6; ++c) codes.push_back({{1, uint8_t(a), 0}, {3, uint8_t(c), uint8_t(m)}});
    for (int m = 6; m < 9; ++m)
        for (int a = 1; a <= 4; ++a) codes.push_back({{1, uint8_t(a), 0}, {3, 4, uint8_t(m)}});
    for (int m = 0; m < 9; ++m) codes.push_back({{3, 4, uint8_t(m)}, {1, 1, 0}});
    for (int i = 0; i < 256; ++i) {
        columns[i] = codes[i].first.t;
        columns[256 + i] = codes[i].second.t;
        columns[512 + i] = codes[i].first.s;
        columns[768 + i] = codes[i].second.s;
        columns[1024 + i] = codes[i].first.m;
        columns[1280 + i] = codes[i].second.m;
    }
    Bytes changed = columns;
    changed[255] = 1, changed[256 + 255] = 0, changed[512 + 255] = 3, changed[768 + 255] = 0;
    changed[1024 + 255] = 0, changed[1280 + 255] = 0;
    std::vector<vcdiff::Copy> kept;
    for (uint64_t at = 0; at < 1536; at += 256) kept.push_back({at, at, 255});
    Bytes delta = encoded(columns, changed, kept, false);
    Bytes b;
    put_int(b, 2 + delta.size());
    b.push_back(near);
    b.push_back(same);
    b.insert(b.end(), delta.begin(), delta.end());
    return b;
}

// An output that cannot read back what it was given.
struct WriteOnly : vcdiff::Output {
    Bytes bytes;
    void write(const void* d, size_t n) override {
        bytes.insert(bytes.end(), static_cast<const uint8_t*>(d), static_cast<const uint8_t*>(d) + n);
    }
};

const Bytes kSource = str("0123456789ABCDEF");

struct HandMade {
    std::string name;
    Bytes patch;
    std::string target; // what it makes, or
    std::string why;    // a part of the reason it is refused
    bool write_only = false;
};

std::vector<HandMade> hand_made() {
    const Bytes h = header();
    std::vector<HandMade> c;
    c.push_back({"header alone", h, "", ""});
    c.push_back({"self and here",
                 patch_of(h, {{1, 16, 0, "3456ABCD", {}, {copy4(0), copy4(1)}, {3, 10}}}), "3456ABCD", ""});
    c.push_back({"near caches",
                 patch_of(h, {{1, 16, 0, "345689AB2345CDEF",
                               {},
                               {copy4(0), copy4(2), copy4(0), copy4(4)},
                               {3, 5, 2, 10}}}),
                 "345689AB2345CDEF", ""});
    c.push_back({"same cache", patch_of(h, {{1, 16, 0, "3456BCDE3456BCDE", {}, {copy4(0), copy4(0), copy4(6), copy4(6)}, {3, 11, 3, 11}}}),
                 "3456BCDE3456BCDE", ""});
    c.push_back({"doubles", patch_of(h, {{1, 16, 0, "x0123ABCDy", str("xy"), {163, 247}, {0, 10}}}), "x0123ABCDy", ""});
    c.push_back({"run and add", patch_of(h, {{0, 0, 0, "zzzzzabc", str("zabc"), {0, 5, 4}, {}}}), "zzzzzabc", ""});
    c.push_back({"copy over itself", patch_of(h, {{0, 0, 0, "abababab", str("ab"), {3, 22}, {0}}}), "abababab", ""});
    c.push_back({"copy from source on into target", patch_of(h, {{1, 4, 12, "EFEFEF", {}, {19, 6}, {2}}}), "EFEFEF", ""});
    c.push_back({"explicit sizes", patch_of(h, {{1, 16, 0, "0123456789ABCDEF0123456789ABCDEFxx", str("xx"), {19, 32, 1, 2}, {0}}}),
                 "0123456789ABCDEF0123456789ABCDEFxx", ""});
    c.push_back({"target segment",
                 patch_of(h, {{0, 0, 0, "hello", str("hello"), {6}, {}}, {2, 5, 0, "hello!", str("!"), {21, 2}, {0}}}),
                 "hellohello!", ""});
    // The same, where what was written cannot be read back.
    c.push_back({"target segment, write-only output",
                 patch_of(h, {{0, 0, 0, "hello", str("hello"), {6}, {}}, {2, 5, 0, "hello!", str("!"), {21, 2}, {0}}}),
                 "", "cannot be read back", true});
    c.push_back({"application header", patch_of(header(4, {3, 'a', 'b', 'c'}), {{0, 0, 0, "q", str("q"), {2}, {}}}), "q", ""});
    c.push_back({"secondary compressor named, not used",
                 patch_of(header(1, {2}), {{0, 0, 0, "q", str("q"), {2}, {}}}), "q", ""});
    c.push_back({"own code table", patch_of(header(2, custom_table(4, 3)), {{1, 16, 0, "abc0123", str("abc"), {255, copy4(0)}, {0}}}),
                 "abc0123", ""});
    c.push_back({"own code table, its caches",
                 patch_of(header(2, custom_table(1, 1)), {{1, 16, 0, "01230123", {}, {copy4(0), copy4(3)}, {0, 0}}}),
                 "01230123", ""});
    c.push_back({"own code table, a mode past its caches",
                 patch_of(header(2, custom_table(0, 0)), {{1, 16, 0, "0123", {}, {copy4(2)}, {0}}}), "",
                 "unknown address mode"});
    c.push_back({"not VCDIFF", str("hello there"), "", "not a VCDIFF file"});
    c.push_back({"too short", str("\xD6\xC3"), "", "not a VCDIFF file"});
    c.push_back({"another version", {0xD6, 0xC3, 0xC4, 0x01, 0}, "", "version 1"});
    c.push_back({"unknown header bits", header(0x08), "", "unknown header"});
    c.push_back({"code table cut short", header(2, {0x40, 4, 3}), "", "code table is cut short"});
    c.push_back({"application header cut short", header(4, {0x7F, 1}), "", "application header is cut short"});
    {
        Window w{0, 0, 0, "q", str("q"), {2}, {}};
        w.delta_indicator = 1;
        c.push_back({"secondary compression", patch_of(h, {w}), "", "secondary compression"});
    }
    {
        Bytes p = h;
        p.push_back(4);
        for (uint64_t v : {uint64_t(9), (uint64_t(1) << 24) + 1}) put_int(p, v);
        p.insert(p.end(), 20, 0);
        c.push_back({"window larger than 16 MiB", p, "", "more than 16 MiB"});
    }
    {
        Bytes p = h;
        p.insert(p.end(), {1, 0x81, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0});
        c.push_back({"integer past 64 bits", p, "", "overflows 64 bits"});
    }
    c.push_back({"segment past the source", patch_of(h, {{1, 17, 0, "0123", {}, {copy4(0)}, {0}}}), "", "past the end"});
    c.push_back({"segment position past the source",
                 patch_of(h, {{1, 1, uint64_t(1) << 62, "0123", {}, {copy4(0)}, {0}}}), "", "past the end"});
    c.push_back({"target segment past what was written", patch_of(h, {{2, 1, 0, "0123", {}, {copy4(0)}, {0}}}), "",
                 "past the end"});
    c.push_back({"both segments", patch_of(h, {{3, 1, 0, "0123", {}, {copy4(0)}, {0}}}), "", "both"});
    c.push_back({"copy of bytes not yet made", patch_of(h, {{1, 16, 0, "0123", {}, {copy4(0)}, {16}}}), "",
                 "not yet rebuilt"});
    c.push_back({"copy from before the segment", patch_of(h, {{1, 16, 0, "0123", {}, {copy4(1)}, {17}}}), "",
                 "before its segment"});
    c.push_back({"near address overflows",
                 patch_of(h, {{1, 16, 0, "01230123", {}, {copy4(0), copy4(2)}, {5, 0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}}}),
                 "", "overflows"});
    {
        Window w{1, 16, 0, "0123", {}, {copy4(0)}, {0}};
        w.length_off = 1;
        c.push_back({"delta length longer", patch_of(h, {w}), "", "cut short"});
        Bytes p = patch_of(h, {w});
        p.push_back(0);
        c.push_back({"delta length disagrees", p, "", "disagree"});
    }
    {
        Window w{1, 16, 0, "0124", {}, {copy4(0)}, {0}};
        c.push_back({"checksum", patch_of(h, {w}), "", "checksum does not match"});
        w.adler = false;
        c.push_back({"no checksum, not checked", patch_of(h, {w}), "0123", ""});
    }
    {
        Window w{1, 16, 0, "0123", {}, {copy4(0), 3}, {0}};
        w.data = str("x");
        c.push_back({"more bytes than the window", patch_of(h, {w}), "", "more than its 4 bytes"});
        Window v{1, 16, 0, "012345", {}, {copy4(0)}, {0}};
        c.push_back({"fewer bytes than the window", patch_of(h, {v}), "", "make 4 of its 6 bytes"});
        Window u{1, 16, 0, "0123", str("x"), {copy4(0)}, {0}};
        c.push_back({"data left over", patch_of(h, {u}), "", "no instruction uses"});
        Window t{1, 16, 0, "0123", {}, {copy4(0)}, {0, 5}};
        c.push_back({"address left over", patch_of(h, {t}), "", "no instruction uses"});
        Window s{0, 0, 0, "abc", str("ab"), {4}, {}};
        c.push_back({"data too short", patch_of(h, {s}), "", "too short"});
        Window r{0, 0, 0, "aaa", {}, {0, 3}, {}};
        c.push_back({"run without its byte", patch_of(h, {r}), "", "too short"});
        Window q{1, 16, 0, "0123", {}, {copy4(0)}, {}};
        c.push_back({"address missing", patch_of(h, {q}), "", "addresses is cut short"});
        Window o{0, 0, 0, "abc", str("abc"), {1}, {}};
        c.push_back({"size missing", patch_of(h, {o}), "", "instructions is cut short"});
    }
    return c;
}

TEST(Vcdiff, HandMadePatches) {
    for (const HandMade& c : hand_made()) {
        vcdiff::MemoryInput s(kSource.data(), kSource.size()), p(c.patch.data(), c.patch.size());
        vcdiff::MemoryOutput memory;
        WriteOnly write_only;
        vcdiff::Output& out = c.write_only ? static_cast<vcdiff::Output&>(write_only) : memory;
        vcdiff::DecodeResult r = vcdiff::decode(s, p, out);
        if (c.why.empty()) {
            ASSERT_TRUE(r.ok) << c.name << ": " << r.why;
            EXPECT_EQ(to_string(memory.bytes), c.target) << c.name;
            EXPECT_EQ(r.target_size, c.target.size()) << c.name;
        } else {
            EXPECT_FALSE(r.ok) << c.name;
            EXPECT_NE(r.why.find(c.why), std::string::npos) << c.name << ": " << r.why;
        }
    }
}

// ---------------------------------------------------------------------------
// Damaged patches: cut anywhere, bytes flipped. Each is refused with a reason,
// or (cut between windows) gives the target's first windows.

TEST(Vcdiff, DamagedPatchesAreRefused) {
    Bytes source = random_bytes(20000, 20);
    Bytes target = shuffled(source, 21);
    struct Case {
        std::string name;
        Bytes patch;
    };
    std::vector<Case> cases = {{"ours", encoded(source, target, {}, true)}};
    for (const HandMade& h : hand_made())
        if (h.why.empty() && !h.target.empty() && h.name != "no checksum, not checked") cases.push_back({h.name, h.patch});
    if (have_xdelta3()) {
        Scratch dir;
        dir.put("source", source);
        dir.put("target", target);
        EXPECT_EQ(xdelta3("-e -S none -W 16384 -s " + dir.path("source") + " " + dir.path("target") + " " +
                          dir.path("patch")),
                  0);
        cases.push_back({"xdelta3", dir.get("patch")});
    }
    std::mt19937 rng(22);
    for (const Case& c : cases) {
        const Bytes& src = c.name == "ours" || c.name == "xdelta3" ? source : kSource;
        Decoded whole = decoded(src, c.patch);
        ASSERT_TRUE(whole.result.ok) << c.name << ": " << whole.result.why;
        auto check = [&](const Bytes& damaged, const std::string& what) {
            Decoded d = decoded(src, damaged, 1);
            if (d.result.ok) {
                // Only a cut between windows, or a change that makes the same bytes.
                EXPECT_TRUE(d.target.size() <= whole.target.size() &&
                            std::equal(d.target.begin(), d.target.end(), whole.target.begin()))
                    << c.name << ", " << what;
                if (d.target.size() == whole.target.size()) {
                    EXPECT_TRUE(d.target == whole.target) << c.name << ", " << what;
                }
            } else {
                EXPECT_FALSE(d.result.why.empty()) << c.name << ", " << what;
            }
        };
        for (size_t n = 0; n < c.patch.size(); ++n)
            check(Bytes(c.patch.begin(), c.patch.begin() + long(n)), "cut to " + std::to_string(n));
        size_t flips = std::min<size_t>(c.patch.size() * 8, 2000);
        for (size_t k = 0; k < flips; ++k) {
            Bytes d = c.patch;
            size_t at = c.patch.size() * 8 <= 2000 ? k / 8 : rng() % d.size();
            d[at] ^= uint8_t(1 << (c.patch.size() * 8 <= 2000 ? k % 8 : rng() % 8));
            check(d, "byte " + std::to_string(at) + " flipped");
        }
    }
}

// A patch read from files: FileInput reads at random places and past 2 GiB
// offsets never (its buffer is exercised by the short reads of a patch and
// a source read at scattered places).
TEST(Vcdiff, FilesAsInputs) {
    Scratch dir;
    Bytes source = random_bytes(3 << 20, 30);
    Bytes target = shuffled(source, 31);
    dir.put("source", source);
    dir.put("patch", encoded(source, target, {}, true));
    FILE* s = std::fopen(dir.path("source").c_str(), "rb");
    FILE* p = std::fopen(dir.path("patch").c_str(), "rb");
    ASSERT_TRUE(s && p);
    vcdiff::FileInput si(s), pi(p);
    EXPECT_TRUE(si.ok());
    EXPECT_EQ(si.size(), source.size());
    vcdiff::MemoryOutput out;
    vcdiff::DecodeResult r = vcdiff::decode(si, pi, out);
    EXPECT_TRUE(r.ok) << r.why;
    EXPECT_TRUE(out.bytes == target);
    uint8_t b[4];
    EXPECT_FALSE(si.read(source.size() - 3, b, 4));
    EXPECT_TRUE(si.read(source.size() - 4, b, 4));
    EXPECT_EQ(Bytes(b, b + 4), Bytes(source.end() - 4, source.end()));
    std::fclose(s);
    std::fclose(p);
}

} // namespace
