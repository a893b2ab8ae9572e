#include "release/members.hpp"

#include "formats/bytes.hpp"
#include "formats/lod.hpp"
#include "formats/pak.hpp"
#include "formats/snd.hpp"
#include "formats/vid.hpp"
#include "platform/io.hpp"

#include <cctype>

namespace release {
namespace {

std::string extension(const std::string& name) {
    size_t dot = name.find_last_of('.');
    size_t slash = name.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string e = name.substr(dot + 1);
    for (char& c : e) c = char(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

bool inside(uint64_t offset, uint64_t size, uint64_t file_size) {
    return offset <= file_size && size <= file_size - offset;
}

bool pak_members(FILE* f, uint64_t size, std::vector<Member>* out) {
    pak::Directory d;
    std::string fault;
    if (!pak::read_directory(f, size, &d, &fault) || d.length % pak::kEntrySize != 0) return false;
    for (size_t i = 0; i < d.count(); ++i) {
        const uint8_t* e = d.entry(i);
        Member m{std::string(reinterpret_cast<const char*>(e), pak::kOffsetField), bytes::get_u32(e + pak::kOffsetField),
                 bytes::get_u32(e + pak::kLengthField)};
        if (!inside(m.offset, m.size, size)) return false;
        out->push_back(m);
    }
    return true;
}

bool lod_members(FILE* f, uint64_t size, std::vector<Member>* out) {
    uint8_t count_field[4];
    std::fseek(f, long(lod::kCountField), SEEK_SET);
    if (size < lod::kHeadSize || io::read(f, count_field, 4) != 4) return false;
    uint32_t count = bytes::get_u32(count_field);
    if (lod::block_size(count) > size) return false;
    lod::Block b;
    std::string fault;
    if (!lod::read_block(f, size, count, &b, &fault)) return false;
    for (size_t k = 0; k < b.count; ++k) {
        Member m{b.name(k), uint64_t(lod::kHeadSize) + b.data_offset(k), b.size(k)};
        if (!inside(m.offset, m.size, size)) return false;
        out->push_back(m);
    }
    return true;
}

bool snd_members(FILE* f, uint64_t size, std::vector<Member>* out) {
    snd::Directory d;
    std::string fault;
    if (!snd::read_directory(f, size, &d, &fault)) return false;
    for (size_t i = 0; i < d.count; ++i) {
        const uint8_t* e = d.entry(i);
        if (!snd::member_fault(e, size).empty()) return false;
        out->push_back({snd::name(e), bytes::get_u32(e + snd::kOffsetField), bytes::get_u32(e + snd::kStoredField)});
    }
    return true;
}

bool vid_members(FILE* f, uint64_t size, std::vector<Member>* out) {
    vid::Directory d;
    std::string fault;
    if (!vid::read_entries(f, size, SIZE_MAX, &d, &fault)) return false;
    for (size_t i = 0; i < d.count; ++i) {
        vid::Member m;
        if (!vid::member(d, i, size, &m, &fault)) return false;
        out->push_back({vid::name(d.entry(i)), m.offset, m.size});
    }
    return true;
}

} // namespace

bool archive_members(const std::string& name, FILE* f, uint64_t size, std::vector<Member>* out) {
    out->clear();
    std::string e = extension(name);
    bool ok = e == "pak"   ? pak_members(f, size, out)
              : e == "lod" ? lod_members(f, size, out)
              : e == "snd" ? snd_members(f, size, out)
              : e == "vid" ? vid_members(f, size, out)
                           : false;
    if (!ok) out->clear();
    return ok;
}

} // namespace release
