#include "support/lod_builders.hpp"

#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

Bytes make_lod(const std::vector<LodEntry>& entries, int64_t count_field) {
    uint32_t count = uint32_t(entries.size());
    Buf lod;
    lod.raw(pattern(256, 901));      // archive header
    lod.raw(pattern(20, 902));       // descriptor, opaque
    size_t region = lod.size();
    lod.u32(0);                      // data-region size, set below
    lod.raw(pattern(4, 903));
    lod.u32(count_field < 0 ? count : uint32_t(count_field));
    Bytes opaque = pattern(8 * entries.size(), 904);
    uint32_t pos = 32 * count;
    for (size_t k = 0; k < entries.size(); ++k) {
        lod.field(entries[k].name, 16).u32(pos).u32(uint32_t(entries[k].data.size()));
        lod.raw(slice(opaque, 8 * k, 8));
        pos += uint32_t(entries[k].data.size());
    }
    for (const auto& e : entries) lod.raw(e.data);
    uint32_t size = uint32_t(lod.size() - 288);
    for (int i = 0; i < 4; ++i) lod.b[region + i] = uint8_t(size >> (8 * i));
    return lod.b;
}

std::vector<LodEntry> tiny_entries(size_t count, uint32_t seed) {
    std::vector<LodEntry> v;
    v.reserve(count);
    for (size_t k = 0; k < count; ++k)
        v.push_back({"e" + std::to_string(k), pattern(48 + k % 3, uint32_t(seed * 100003 + k))});
    return v;
}

LodDirEntry lod_entry(const Bytes& lod, size_t k) {
    size_t at = 288 + 32 * k;
    LodDirEntry e;
    const char* p = reinterpret_cast<const char*>(&lod.at(at));
    e.name = std::string(p, strnlen(p, 16));
    e.offset = le32(lod, at + 16);
    e.size = le32(lod, at + 20);
    return e;
}

Bytes lod_data(const Bytes& lod, size_t k) {
    LodDirEntry e = lod_entry(lod, k);
    return slice(lod, 288 + size_t(e.offset), e.size);
}

void set_lod_entry(Bytes& lod, size_t k, uint32_t offset, uint32_t size) {
    size_t at = 288 + 32 * k;
    for (int i = 0; i < 4; ++i) {
        lod.at(at + 16 + i) = uint8_t(offset >> (8 * i));
        lod.at(at + 20 + i) = uint8_t(size >> (8 * i));
    }
}

Bytes entry_header(const std::string& name, const std::string& tag, uint32_t pixel_size, uint32_t stored_size,
                   uint16_t width, uint16_t height, uint32_t unpacked_size) {
    Bytes label = Buf().raw(name).u8(0).raw(tag).u8(0).b;
    label.resize(16, 0);
    Bytes opaque = pattern(16, uint32_t(name.size() * 31 + tag.size()));
    return Buf().raw(label).u32(pixel_size).u32(stored_size).u16(width).u16(height)
        .raw(slice(opaque, 0, 12)).u32(unpacked_size).raw(slice(opaque, 12, 4)).b;
}

std::vector<LodEntry> plain_entries(size_t count) {
    std::vector<LodEntry> es;
    es.reserve(count);
    for (size_t k = 0; k < count; ++k) {
        std::string name = "e" + std::to_string(k);
        es.push_back({name, concat({entry_header(name, "", 0, 1, 0, 0, 0), pattern(1, uint32_t(k))})});
    }
    return es;
}

Bytes image_entry(const std::string& name, const std::string& tag, uint16_t w, uint16_t h, const Bytes& payload,
                  const Bytes& palette, uint32_t pixel_size) {
    if (pixel_size == ~0u) pixel_size = uint32_t(w) * h;
    return concat({entry_header(name, tag, pixel_size, uint32_t(payload.size()), w, h, pixel_size), payload, palette});
}

Bytes reversed(const Bytes& colours) {
    Bytes out = colours;
    for (size_t i = 0; i + 2 < out.size(); i += 3) std::swap(out[i], out[i + 2]);
    return out;
}

Bytes tga_header(uint16_t w, uint16_t h, uint8_t descriptor) {
    return Buf().u8(0).u8(1).u8(1).u16(0).u16(256).u8(24).u16(0).u16(0).u16(w).u16(h).u8(8).u8(descriptor).b;
}

Bytes header_last(const Bytes& data) {
    if (data.size() < 48) return data;
    return concat({slice(data, 48, data.size() - 48), slice(data, 0, 48)});
}

Bytes slice(const Bytes& b, size_t from, size_t n) {
    EXPECT_LE(from + n, b.size());
    from = std::min(from, b.size());
    n = std::min(n, b.size() - from);
    return Bytes(b.begin() + long(from), b.begin() + long(from + n));
}

Bytes concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

void kept_folder(JobTest& t, const std::string& winpath, const std::string& key,
                 const std::function<void(const std::filesystem::path&)>& fill) {
    std::filesystem::path dir = t.root() / ("kept-" + key);
    if (!std::filesystem::exists(dir)) {
        std::filesystem::create_directories(dir);
        if (fill) fill(dir);
    }
    t.link(winpath, dir.string());
}

Bytes deflated(const Bytes& data) {
    Bytes out(compressBound(uLong(data.size())));
    uLongf n = uLongf(out.size());
    EXPECT_EQ(compress2(out.data(), &n, data.data(), uLong(data.size()), Z_BEST_COMPRESSION), Z_OK);
    out.resize(n);
    return out;
}

namespace {

// Runs a Python statement on the file `in`, which writes the file `out`.
Bytes python_zlib(const std::filesystem::path& scratch, const char* statement, const Bytes& data) {
    std::filesystem::path in = scratch / "python-in", out = scratch / "python-out";
    std::filesystem::remove(out);
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    std::string script = std::string("import sys, zlib\n"
                                     "data = open(sys.argv[1], 'rb').read()\n"
                                     "open(sys.argv[2], 'wb').write(") + statement + ")\n";
    pid_t pid = fork();
    if (pid == 0) {
        execlp("python3", "python3", "-c", script.c_str(), in.c_str(), out.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "python3 failed on " << statement;
    std::ifstream f(out, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

} // namespace

Bytes python_compress(const std::filesystem::path& scratch, const Bytes& data) {
    return python_zlib(scratch, "zlib.compress(data, 9)", data);
}

Bytes python_decompress(const std::filesystem::path& scratch, const Bytes& stream) {
    return python_zlib(scratch, "zlib.decompress(data)", stream);
}
