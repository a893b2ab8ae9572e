#include "jobs/lod/lodjobs.hpp"

#include "formats/lod.hpp"
#include "platform/io.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace lodjobs {

void exit5() { std::exit(5); }

namespace {

// Sizes and offsets of an archive are u32: an archive that would outgrow them
// cannot be written correctly.
void check_fits(uint64_t end, const std::string& out_path) {
    if (end > UINT32_MAX) io::damaged(out_path, "the new archive would pass the 4 GiB that its directory can address");
}


// The ready folder of an update, listed once per pass. Of the thousands of
// entry files an update looks for, a translation brings a few hundred: only
// the names the folder holds are opened, the others are known absent without
// a search of the file system each.
class ReadyFolder {
public:
    explicit ReadyFolder(const std::string& dir) : dir_(dir) {
        win::FindData fd;
        intptr_t h = win::findfirst((dir + "*").c_str(), &fd);
        if (h == -1) return;
        do {
            names_.insert(win::fold_case(fd.name));
        } while (win::findnext(h, &fd) == 0);
        win::findclose(h);
    }

    // Opens the entry file `name` for reading; nullptr when it is absent.
    // Entry files are read whole, in one go: no stream buffer.
    FILE* open(const std::string& name) const {
        if (!names_.count(win::fold_case(name))) return nullptr;
        FILE* f = win::fopen((dir_ + name).c_str(), "rb");
        if (f) std::setvbuf(f, nullptr, _IONBF, 0);
        return f;
    }

private:
    std::string dir_;
    std::unordered_set<std::string> names_;
};

// The source archive's entry data, read a megabyte at a time. The entries of
// an update are thousands of small pieces lying back to back at odd offsets:
// read through one large window, and written from it in one piece for as
// many entries as follow each other there, they cost a few large reads and
// writes, where copying each by itself (or by the kernel's file-to-file
// copy, slow at offsets like these) costs far more.
class SourceWindow {
public:
    SourceWindow(FILE* in, FILE* out, const std::string& out_path)
        : in_(in), out_(out), out_path_(out_path), buf_(1 << 20) {}

    // Copies n bytes from source position `at` to the output; the number
    // copied, fewer when the source ends before. Pieces that follow each
    // other in the window are written in one go (flush() before writing
    // anything else to the output).
    uint64_t copy(uint64_t at, uint64_t n) {
        uint64_t done = 0;
        while (done < n) {
            if (at < start_ || at - start_ >= len_) {
                flush();
                start_ = at;
                std::fseek(in_, long(at), SEEK_SET);
                len_ = io::read(in_, buf_.data(), buf_.size());
                if (len_ == 0) break;
            }
            size_t from = size_t(at - start_);
            size_t part = size_t(std::min<uint64_t>(n - done, len_ - from));
            if (from != pending_end_) flush();
            if (pending_begin_ == pending_end_) pending_begin_ = pending_end_ = from;
            pending_end_ += part;
            at += part;
            done += part;
        }
        return done;
    }

    void flush() {
        io::write(out_, buf_.data() + pending_begin_, pending_end_ - pending_begin_, out_path_);
        pending_begin_ = pending_end_ = 0;
    }

private:
    FILE* in_;
    FILE* out_;
    std::string out_path_;
    std::vector<uint8_t> buf_;
    uint64_t start_ = 0;
    size_t len_ = 0;
    size_t pending_begin_ = 0, pending_end_ = 0;
};

} // namespace

void update_archive(const Update& u) {
    FILE* in = io::open_or_die(u.source.c_str(), "rb");
    std::setvbuf(in, nullptr, _IONBF, 0); // read through a window of its own
    uint64_t in_size = io::size_of(in);
    lod::Block block = lod::read_block(in, in_size, u.count, u.source);
    const lod::Block old = block; // the source's directory, never patched

    // First pass: the size of every entry, from its ready file or from the
    // source, and the data offsets that follow from them. Entry 0's data come
    // straight after the directory.
    uint64_t pos = uint64_t(lod::kEntrySize) * u.count;
    if (u.count > 0) block.set_data_offset(0, uint32_t(pos));
    const ReadyFolder first(u.ready_dir);
    for (size_t k = 0; k < u.count; ++k) {
        // A name that holds a path would take a file from another folder.
        if (!io::plain_name(old.name(k)))
            io::damaged(u.source, "member name " + old.name(k) + " is not a plain file name");
        std::string file = lod::entry_file_name(k, old.name(k));
        std::string path = u.ready_dir + file;
        uint64_t size;
        if (FILE* ready = first.open(file)) {
            std::printf("%s\n", path.c_str());
            size = io::size_of(ready);
            std::fclose(ready);
        } else {
            std::printf("----------- using old %s\n", path.c_str());
            size = old.size(k);
            if (!lod::data_inside(old.data_offset(k), old.size(k), in_size))
                io::damaged(u.source, "entry " + old.name(k) + " lies past the end of the archive");
        }
        check_fits(pos + size, u.output);
        block.set_size(k, uint32_t(size));
        if (k + 1 < u.count) block.set_data_offset(k + 1, uint32_t(pos + size));
        pos += size;
    }

    // Second pass: the block, then every entry's data in directory order.
    // The archive written replaces the game's own only once it is complete.
    // A buffer for the small pieces (ready files, zeros); the source window's
    // pieces, mostly larger, go past it.
    std::vector<char> out_buffer(64 << 10);
    io::Replacement replacement(u.output, "wb");
    if (!replacement.ok()) io::cant_open();
    FILE* out = replacement.file();
    std::setvbuf(out, out_buffer.data(), _IOFBF, out_buffer.size());
    io::write(out, block.buf.data(), block.buf.size(), u.output);

    const ReadyFolder second(u.ready_dir);
    SourceWindow source(in, out, u.output);
    for (size_t k = 0; k < u.count; ++k) {
        std::string file = lod::entry_file_name(k, old.name(k));
        std::string path = u.ready_dir + file;
        uint32_t size = block.size(k);
        if (FILE* ready = second.open(file)) {
            std::printf("%s\n", path.c_str());
            source.flush();
            // A file that shrank since the first pass is made up with zeros,
            // so that the entry keeps the size its directory entry gives.
            uint64_t got = io::copy(ready, out, size, u.output);
            io::write_zeros(out, size - got, u.output);
            std::fclose(ready);
        } else {
            std::printf("----------- using old %s\n", path.c_str());
            // The same holds for a ready file that went away meanwhile: only
            // the old entry's own bytes are taken from the source.
            uint32_t n = std::min(size, old.size(k));
            if (source.copy(uint64_t(lod::kHeadSize) + old.data_offset(k), n) != n)
                io::damaged(u.source, "entry " + old.name(k) + " cannot be read");
            if (size > n) {
                source.flush();
                io::write_zeros(out, size - n, u.output);
            }
        }
    }
    source.flush();
    std::fclose(in);
    replacement.commit();
}

uint32_t recordable_size(uint64_t size, const std::string& path) {
    if (size > UINT32_MAX) io::damaged(path, "longer than the 4 GiB that an entry header can record");
    return uint32_t(size);
}

std::vector<uint8_t> read_entry_header(const std::string& path) {
    FILE* f = io::open_or_die(path.c_str(), "rb");
    std::vector<uint8_t> header(lod::kHeaderSize);
    size_t got = io::read(f, header.data(), header.size());
    std::fclose(f);
    if (got != header.size()) io::damaged(path, "shorter than its 48-byte entry header");
    return header;
}

namespace {

// The icons folder, listed once: answers the header searches of a merge
// ("*_N" or "N") the way a search of the folder would, with the first match
// in the search's order, without searching the folder again for every N.
class IconsListing {
public:
    IconsListing(const std::string& dir, HeaderSource source) : source_(source) {
        win::FindData fd;
        intptr_t h = win::findfirst((dir + "*").c_str(), &fd);
        if (h == -1) return;
        do {
            names_.push_back(fd.name);
        } while (win::findnext(h, &fd) == 0);
        win::findclose(h);
        for (const std::string& name : names_) {
            std::string low = win::fold_case(name);
            if (source_ == HeaderSource::SameName) {
                first_.emplace(low, name);
                continue;
            }
            for (size_t i = 0; i < low.size(); ++i)
                if (low[i] == '_') first_.emplace(low.substr(i + 1), name); // keeps the earliest
        }
    }

    // The first name that the pattern formed with `n` matches.
    bool find(const std::string& n, std::string* found) const {
        if (n.find_first_of("*?") != std::string::npos) { // a pattern of its own: match one by one
            std::string pattern = (source_ == HeaderSource::AnyIndex ? "*_" : "") + n;
            for (const std::string& name : names_)
                if (win::wildcard_match(pattern, name)) {
                    *found = name;
                    return true;
                }
            return false;
        }
        auto it = first_.find(win::fold_case(n));
        if (it == first_.end()) return false;
        *found = it->second;
        return true;
    }

private:
    HeaderSource source_;
    std::vector<std::string> names_; // in the search's order
    std::unordered_map<std::string, std::string> first_;
};

} // namespace

void merge_headfirst(const std::string& payload_dir, HeaderSource source) {
    const std::string icons = "c:\\games\\zundfiles\\icons\\";
    std::unique_ptr<IconsListing> listing;
    walk_or_exit5(payload_dir + "*.zl", [&](const win::FindData& n) {
        if (!listing) listing = std::make_unique<IconsListing>(icons, source);
        std::string m;
        if (!listing->find(n.name, &m)) return; // no entry to take the header from

        std::string payload_path = payload_dir + n.name;
        std::string unpacked_path = payload_path.substr(0, payload_path.size() - 3);
        FILE* f = io::open_or_die(unpacked_path.c_str(), "rb");
        uint32_t unpacked_size = recordable_size(io::size_of(f), unpacked_path);
        std::fclose(f);

        f = io::open_or_die(payload_path.c_str(), "rb");
        std::vector<uint8_t> payload = io::read_all(f);
        std::fclose(f);
        uint32_t stored_size = recordable_size(payload.size(), payload_path);

        std::string header_path = icons + m;
        std::printf("processing %s...\n", header_path.c_str());
        std::vector<uint8_t> header = read_entry_header(header_path);
        lod::set_field32(header, lod::kStoredSizeField, stored_size);
        lod::set_field32(header, lod::kUnpackedSizeField, unpacked_size);

        // For headfirst_readystr the output is the payload file itself.
        io::Replacement out(payload_dir + m, "wb");
        if (!out.ok()) io::cant_open();
        out.write(header.data(), header.size());
        out.write(payload.data(), payload.size());
        out.commit();
    });
}

void convert_headlast(const std::string& dir, const std::string& pattern, const std::string& out_dir) {
    walk_or_exit5(dir + pattern, [&](const win::FindData& n) {
        std::string in_path = dir + n.name;
        FILE* in = io::open_or_die(in_path.c_str(), "rb");
        std::vector<uint8_t> data = io::read_all(in);
        std::fclose(in);
        if (data.size() < lod::kHeaderSize) io::damaged(in_path, "shorter than its 48-byte entry header");

        std::string out_path = out_dir + n.name;
        io::Replacement out(out_path, "wb");
        if (!out.ok()) io::cant_open();
        lod::write_header_last(out.file(), data, out_path);
        out.commit();
    });
}

} // namespace lodjobs
