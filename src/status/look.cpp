#include "status/look.hpp"

#include "formats/bytes.hpp"
#include "formats/fnt.hpp"
#include "formats/lod.hpp"
#include "formats/pak.hpp"
#include "formats/snd.hpp"
#include "formats/vid.hpp"
#include "jobs/texts/tables.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <algorithm>
#include <new>
#include <thread>
#include <cstdio>
#include <unordered_set>

namespace status {

namespace {

bool ends_with(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && win::fold_case(s.substr(s.size() - end.size())) == win::fold_case(end);
}

// A names filter of a reference: a pattern, "|!PATTERN" for names left out.
struct Names {
    std::string include = "*";
    std::vector<std::string> exclude;
    explicit Names(const char* names) {
        if (!names) return;
        std::string s = names;
        size_t cut = s.find('|');
        include = s.substr(0, cut);
        while (cut != std::string::npos) {
            size_t next = s.find('|', cut + 1);
            std::string part = s.substr(cut + 1, next == std::string::npos ? std::string::npos : next - cut - 1);
            if (!part.empty() && part[0] == '!') exclude.push_back(part.substr(1));
            cut = next;
        }
    }
    bool take(const std::string& name) const {
        if (!win::wildcard_match(include, name)) return false;
        for (const std::string& x : exclude)
            if (win::wildcard_match(x, name)) return false;
        return true;
    }
};

// Reads a whole file through a buffer of its own: true when every byte
// comes.
bool reads_through(FILE* f, uint64_t size) {
    std::vector<uint8_t> buf(1 << 20);
    std::fseek(f, 0, SEEK_SET);
    for (uint64_t done = 0; done < size;) {
        size_t want = size_t(std::min<uint64_t>(buf.size(), size - done));
        if (io::read(f, buf.data(), want) != want) return false;
        done += want;
    }
    return true;
}

void read_pak(FILE* f, bool deep, Archive* a) {
    pak::Directory d;
    if (!pak::read_directory(f, a->file_size, &d, &a->fault)) return;
    for (size_t i = 0; i < d.count(); ++i) {
        const uint8_t* e = d.entry(i);
        Member m{pak::flat_name(e), bytes::get_u32(e + pak::kOffsetField), bytes::get_u32(e + pak::kLengthField)};
        if (deep && a->fault.empty() && m.offset + m.size > a->file_size)
            a->fault = "member " + m.name + " lies past the end of the archive";
        a->members.push_back(std::move(m));
    }
}

void read_lod(FILE* f, uint32_t fixed, bool deep, Archive* a) {
    size_t count = fixed;
    if (count == 0) { // the count the archive gives
        uint8_t head[lod::kHeadSize];
        std::fseek(f, 0, SEEK_SET);
        if (io::read(f, head, sizeof head) != sizeof head) {
            a->fault = io::format("shorter than its %u-byte head", lod::kHeadSize);
            return;
        }
        count = bytes::get_u32(head + lod::kCountField);
    }
    lod::Block b;
    if (!lod::read_block(f, a->file_size, count, &b, &a->fault)) return;
    std::vector<uint8_t> data, unpacked;
    for (size_t k = 0; k < count; ++k) {
        Member m{b.name(k), b.data_offset(k), b.size(k)};
        if (deep && a->fault.empty()) {
            std::string fault;
            if (!lod::data_inside(b.data_offset(k), b.size(k), a->file_size)) {
                fault = "lies past the end of the archive";
            } else {
                data.resize(b.size(k));
                std::fseek(f, long(lod::kHeadSize + m.offset), SEEK_SET);
                if (io::read(f, data.data(), data.size()) != data.size()) fault = "cannot be read";
                else if (data.size() < lod::kHeaderSize) fault = "is shorter than its 48-byte entry header";
                else if (!lod::unpack_payload(data.data(), data.data() + lod::kHeaderSize, data.size() - lod::kHeaderSize,
                                              &unpacked, &fault, "follow the header"))
                    fault = ": " + fault;
            }
            if (!fault.empty()) a->fault = "entry " + m.name + (fault[0] == ':' ? "" : " ") + fault;
        }
        a->members.push_back(std::move(m));
    }
}

void read_snd(FILE* f, bool deep, Archive* a) {
    snd::Directory d;
    if (!snd::read_directory(f, a->file_size, &d, &a->fault)) return;
    for (size_t i = 0; i < d.count; ++i) {
        const uint8_t* e = d.entry(i);
        if (deep && a->fault.empty()) a->fault = snd::member_fault(e, a->file_size);
        a->members.push_back({snd::name(e), bytes::get_u32(e + snd::kOffsetField), bytes::get_u32(e + snd::kStoredField)});
    }
}

void read_vid(FILE* f, bool deep, Archive* a) {
    vid::Directory d;
    if (!vid::read_entries(f, a->file_size, SIZE_MAX, &d, &a->fault)) return;
    for (size_t i = 0; i < d.count; ++i) {
        vid::Member m;
        std::string fault;
        if (!vid::member(d, i, a->file_size, &m, &fault)) {
            if (deep && a->fault.empty()) a->fault = fault;
            m = {bytes::get_u32(d.entry(i) + vid::kOffsetField), 0};
        }
        a->members.push_back({vid::name(d.entry(i)), m.offset, m.size});
    }
}

} // namespace

const File* Set::find(const std::string& name) const {
    if (index.empty() && !files.empty())
        for (size_t i = files.size(); i-- > 0;) index[win::fold_case(files[i].name)] = i; // the first of a name wins
    auto it = index.find(win::fold_case(name));
    return it == index.end() ? nullptr : &files[it->second];
}

const File* Set::newest() const {
    const File* n = nullptr;
    for (const File& f : files)
        if (!n || f.modified > n->modified) n = &f;
    return n;
}

const File* Set::oldest() const {
    const File* o = nullptr;
    for (const File& f : files)
        if (!o || f.modified < o->modified) o = &f;
    return o;
}

Format format_of(const std::string& path) {
    if (ends_with(path, ".pak")) return Format::Pak;
    if (ends_with(path, ".lod")) return Format::Lod;
    if (ends_with(path, ".snd")) return Format::Snd;
    if (ends_with(path, ".vid")) return Format::Vid;
    if (ends_with(path, ".fnt") || ends_with(path, ".fn1")) return Format::Font;
    return Format::None;
}

std::string folder_of(const std::string& path) {
    size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? "" : path.substr(0, cut + 1);
}

std::string name_of(const std::string& path) {
    size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string plural(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

uint32_t lod_entries(const std::string& path) {
    if (format_of(path) != Format::Lod) return 0;
    for (const chains::Fixed& a : chains::fixed_counts()) {
        const about::Place* p = chains::place(a.place);
        if (p && win::fold_case(chains::absolute(*p)) == win::fold_case(path)) return a.entries;
    }
    return 0;
}

std::vector<std::string> listed_files(const std::string& list_path) {
    std::vector<std::string> names;
    FILE* td = win::fopen(list_path.c_str(), "rt");
    if (!td) return names;
    tables::for_each_pass(td, [&](const std::string& name, uint32_t, bool first) {
        if (first) names.push_back(name);
    });
    tables::for_each_string_file(td, [&](const std::string& name) { names.push_back(name); });
    std::fclose(td);
    return names;
}

const std::vector<File>* Tree::folder(const std::string& winfolder) {
    std::string key = win::fold_case(winfolder);
    auto it = folders_.find(key);
    if (it != folders_.end()) return it->second.get();
    std::unique_ptr<std::vector<File>> files;
    std::string bare = winfolder.substr(0, winfolder.size() - 1);
    win::FindData fd;
    bool there = bare.size() <= 2; // a drive's root
    if (!there) {
        intptr_t h = win::findfirst(bare.c_str(), &fd);
        if (h != -1) {
            win::findclose(h);
            there = fd.folder;
        }
    }
    if (there) {
        files = std::make_unique<std::vector<File>>();
        intptr_t h = win::findfirst((winfolder + "*").c_str(), &fd);
        const std::string leftover = std::string("*") + io::Replacement::kSuffix;
        if (h != -1) {
            do {
                if (!fd.folder && !win::wildcard_match(leftover, fd.name))
                    files->push_back({fd.name, fd.size, fd.modified});
            } while (win::findnext(h, &fd) == 0);
            win::findclose(h);
        }
    }
    return folders_.emplace(key, std::move(files)).first->second.get();
}

const Set& Tree::set(const chains::Ref& r) {
    std::string key = std::string(r.job) + "|" + r.end + "|" + (r.names ? r.names : "");
    auto it = sets_.find(key);
    if (it != sets_.end()) return it->second;
    Set s;
    s.place = chains::place(r);
    if (!s.place) return sets_.emplace(key, s).first->second;
    std::string path = chains::absolute(*s.place);
    const bool listed = r.names && std::string(r.names) == chains::kListed;
    Names names(listed ? nullptr : r.names);
    std::string pattern = "*";
    if (s.place->kind == about::Kind::Folder) {
        s.folder = path;
        s.shown = path + (names.include == "*" ? "" : names.include);
    } else {
        s.folder = folder_of(path);
        pattern = name_of(path);
        s.single = s.place->kind == about::Kind::File;
        s.shown = path + (names.include == "*" || s.single ? "" : " (" + names.include + ")");
    }
    const std::vector<File>* files = folder(s.folder);
    s.folder_there = files != nullptr;
    if (listed) {
        s.shown = path + "NAME (each file the table list names)";
        std::string list;
        const about::Job* j = about::find(r.job);
        for (const about::Place& p : j->places)
            if (p.kind == about::Kind::File && ends_with(p.path, "todo.txt")) list = chains::absolute(p);
        auto l = lists_.find(list);
        if (l == lists_.end()) l = lists_.emplace(list, listed_files(list)).first;
        std::unordered_set<std::string> seen;
        for (const std::string& name : l->second) {
            if (!seen.insert(win::fold_case(name)).second) continue;
            const File* f = nullptr;
            if (files && name.find_first_of("\\/") == std::string::npos) {
                for (const File& x : *files)
                    if (win::fold_case(x.name) == win::fold_case(name)) f = &x;
                if (f) s.files.push_back({name, f->size, f->modified});
            } else {
                win::FindData fd;
                intptr_t h = win::findfirst((s.folder + name).c_str(), &fd);
                if (h != -1) {
                    win::findclose(h);
                    if (!fd.folder) {
                        s.files.push_back({name, fd.size, fd.modified});
                        f = &s.files.back();
                    }
                }
            }
            if (!f) s.unlisted.push_back(name);
        }
    } else if (files) {
        for (const File& f : *files)
            if (win::wildcard_match(pattern, f.name) && names.take(f.name)) s.files.push_back(f);
    }
    return sets_.emplace(key, std::move(s)).first->second;
}

namespace {

// Opens the archive at `path` for reading: whether it is there, its size,
// the stream (nullptr when there is nothing to read).
FILE* open_archive(const std::string& path, bool deep, Archive* a) {
    a->format = format_of(path);
    a->path = path;
    win::FindData fd;
    intptr_t h = win::findfirst(path.c_str(), &fd);
    if (h != -1) win::findclose(h);
    a->there = h != -1 && !fd.folder;
    if (!a->there || (a->format == Format::Font && !deep)) return nullptr;
    FILE* f = win::fopen(path.c_str(), "rb");
    if (!f) a->fault = "it cannot be opened";
    else a->file_size = io::size_of(f);
    return f;
}

// Reads an opened archive (stdio and the format readers alone), and closes it.
void read_archive(FILE* f, uint32_t fixed, bool deep, Archive* a) {
    try {
        switch (a->format) {
        case Format::Pak: read_pak(f, deep, a); break;
        case Format::Lod: read_lod(f, fixed, deep, a); break;
        case Format::Snd: read_snd(f, deep, a); break;
        case Format::Vid: read_vid(f, deep, a); break;
        case Format::Font: {
            std::vector<uint8_t> file = io::read_all(f);
            if (std::ferror(f)) a->fault = "it cannot be read to its end";
            else a->fault = fnt::font_fault(file, ends_with(a->path, ".fn1"));
            break;
        }
        case Format::None: break;
        }
        if (deep && a->fault.empty() && a->format != Format::Font && a->format != Format::Lod &&
            !reads_through(f, a->file_size))
            a->fault = "it cannot be read to its end";
    } catch (const std::bad_alloc&) {
        a->fault = "it cannot be read: out of memory";
    }
    std::fclose(f);
}

} // namespace

const Archive& Tree::archive(const std::string& path, uint32_t fixed, bool deep) {
    std::string key = win::fold_case(path);
    auto it = archives_.find(key);
    if (it != archives_.end()) return it->second;
    Archive a;
    if (FILE* f = open_archive(path, deep, &a)) read_archive(f, fixed, deep, &a);
    return archives_.emplace(key, std::move(a)).first->second;
}

void Tree::read_archives(const std::vector<std::pair<std::string, uint32_t>>& paths, bool deep,
                         const std::function<void()>& meanwhile) {
    struct Work {
        FILE* f;
        uint32_t fixed;
        Archive* a;
    };
    std::vector<Work> work;
    for (const auto& [path, fixed] : paths) {
        std::string key = win::fold_case(path);
        if (archives_.count(key)) continue;
        Archive& a = archives_[key]; // the map's nodes stay where they are
        if (FILE* f = open_archive(path, deep, &a)) work.push_back({f, fixed, &a});
    }
    std::thread reader([&work, deep] {
        for (const Work& w : work) read_archive(w.f, w.fixed, deep, w.a);
    });
    meanwhile();
    reader.join();
}

} // namespace status
