#include "formats/lod.hpp"

#include "formats/zl.hpp"
#include "platform/io.hpp"

#include <cstring>

namespace lod {

std::string entry_name(const uint8_t* field) {
    const char* name = reinterpret_cast<const char*>(field);
    return std::string(name, strnlen(name, kNameWidth));
}

std::string entry_file_name(uint64_t index, const std::string& name) {
    return io::format("%04llu_%s.zl", static_cast<unsigned long long>(index), name.c_str());
}

uint32_t Block::data_offset(size_t k) const { return bytes::get_u32(entry(k) + kDataOffsetField); }
uint32_t Block::size(size_t k) const { return bytes::get_u32(entry(k) + kSizeField); }
void Block::set_data_offset(size_t k, uint32_t v) { bytes::put_u32(entry(k) + kDataOffsetField, v); }
void Block::set_size(size_t k, uint32_t v) { bytes::put_u32(entry(k) + kSizeField, v); }

bool read_block(FILE* in, uint64_t file_size, size_t count, Block* b, std::string* fault) {
    uint64_t want = block_size(count);
    if (file_size < want) {
        *fault = io::format("shorter than the %llu bytes of its head and directory of %zu entries",
                            static_cast<unsigned long long>(want), count);
        return false;
    }
    b->count = count;
    b->buf.resize(size_t(want));
    std::fseek(in, 0, SEEK_SET);
    if (io::read(in, b->buf.data(), b->buf.size()) != b->buf.size()) {
        *fault = "its head and directory cannot be read";
        return false;
    }
    return true;
}

Block read_block(FILE* in, uint64_t file_size, size_t count, const std::string& shown_path) {
    Block b;
    std::string fault;
    if (!read_block(in, file_size, count, &b, &fault)) io::damaged(shown_path, fault);
    return b;
}

bool data_inside(uint32_t data_offset, uint32_t size, uint64_t file_size) {
    return uint64_t(kHeadSize) + data_offset + size <= file_size;
}

std::vector<uint8_t> read_data(FILE* in, uint64_t file_size, uint32_t data_offset, uint32_t size,
                               const std::string& shown_path, const std::string& name) {
    if (!data_inside(data_offset, size, file_size))
        io::damaged(shown_path, "entry " + name + " lies past the end of the archive");
    std::vector<uint8_t> data(size);
    std::fseek(in, long(uint64_t(kHeadSize) + data_offset), SEEK_SET);
    if (io::read(in, data.data(), size) != size) io::damaged(shown_path, "entry " + name + " cannot be read");
    return data;
}

bool unpack_payload(const uint8_t* header, const uint8_t* payload, size_t room, std::vector<uint8_t>* out,
                    std::string* fault, const char* where) {
    uint32_t stored = bytes::get_u32(header + kStoredSizeField);
    uint32_t unpacked = bytes::get_u32(header + kUnpackedSizeField);
    if (stored > room) {
        *fault = io::format("its entry header gives a payload of %u bytes, but only %zu %s", stored, room, where);
        return false;
    }
    return zl::unpack(payload, stored, unpacked, out, fault);
}

void write_header_last(FILE* out, const std::vector<uint8_t>& data, const std::string& out_path) {
    if (data.size() < kHeaderSize) {
        io::write(out, data.data(), data.size(), out_path);
        return;
    }
    io::write(out, data.data() + kHeaderSize, data.size() - kHeaderSize, out_path);
    io::write(out, data.data(), kHeaderSize, out_path);
}

} // namespace lod
