// `locbench release ORIGINAL TRANSLATED OUT`: a patch of every file that
// differs, the files only the translation has, a manifest of them all, and
// what a player needs to install it.
#include "release/release.hpp"

#include "release/common.hpp"
#include "release/members.hpp"

#include "platform/host.hpp"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <thread>

namespace release {
namespace {

constexpr size_t kChunk = size_t(1) << 20;
// Plain files up to this size are searched for bytes the original already has.
constexpr uint64_t kSearchedSize = uint64_t(64) << 20;

int usage(const std::string& what) {
    std::fprintf(stderr, "locbench release: %s\n", what.c_str());
    std::fprintf(stderr, "usage: locbench release [--title TEXT] ORIGINAL TRANSLATED OUT\n");
    return 2;
}

int fail(const std::string& what, const std::string& path) {
    say(what + " ", path);
    return 1;
}

// Whether two files of the same size hold the same bytes.
bool same_bytes(const std::string& a, const std::string& b, bool* failed) {
    FILE* fa = host::open(a, "rb");
    FILE* fb = host::open(b, "rb");
    std::unique_ptr<uint8_t[]> ba(new uint8_t[kChunk]), bb(new uint8_t[kChunk]);
    bool same = fa && fb;
    while (same) {
        size_t na = std::fread(ba.get(), 1, kChunk, fa), nb = std::fread(bb.get(), 1, kChunk, fb);
        if (na != nb || std::memcmp(ba.get(), bb.get(), na) != 0) same = false;
        if (na == 0 || na < kChunk) break;
    }
    *failed = !fa || !fb || std::ferror(fa) || std::ferror(fb);
    if (fa) std::fclose(fa);
    if (fb) std::fclose(fb);
    return same && !*failed;
}

struct Plan {
    bool archive = false;
    size_t members = 0, kept = 0;
    uint64_t kept_bytes = 0;
    std::vector<vcdiff::Copy> copies;
};

// Matches the members of the two archives by name (and size), then reads the
// translated file once from its start: its SHA-256, and for each matched
// member whether its bytes are the original's. Those become the copies of the
// patch.
bool match_members(const std::string& name, FILE* src, uint64_t src_size, FILE* dst, uint64_t dst_size,
                   Plan* plan, manifest::Digest* translated) {
    std::vector<Member> from, to;
    if (archive_members(name, src, src_size, &from) && archive_members(name, dst, dst_size, &to)) {
        plan->archive = true;
        plan->members = to.size();
        std::multimap<std::string, const Member*> by_name;
        for (const Member& m : from) by_name.emplace(m.name, &m);
        for (const Member& m : to) {
            auto range = by_name.equal_range(m.name);
            for (auto it = range.first; it != range.second; ++it) {
                if (it->second->size == m.size && m.size > 0) {
                    plan->copies.push_back({m.offset, it->second->offset, m.size});
                    by_name.erase(it);
                    break;
                }
            }
        }
        std::sort(plan->copies.begin(), plan->copies.end(),
                  [](const vcdiff::Copy& a, const vcdiff::Copy& b) { return a.target_at < b.target_at; });
        // Members that share bytes with another (which a directory may
        // claim) keep the first.
        std::vector<vcdiff::Copy> apart;
        for (const vcdiff::Copy& c : plan->copies)
            if (apart.empty() || c.target_at >= apart.back().target_at + apart.back().length) apart.push_back(c);
        plan->copies.swap(apart);
    }
    std::vector<bool> equal(plan->copies.size(), true);
    std::unique_ptr<uint8_t[]> a(new uint8_t[kChunk]), b(new uint8_t[kChunk]);
    sha256::Hasher h;
    vcdiff::FileInput source(src), target(dst);
    size_t next = 0; // the first copy not yet passed
    for (uint64_t at = 0; at < dst_size;) {
        uint64_t end = std::min<uint64_t>(at + kChunk, dst_size);
        bool in_copy = next < plan->copies.size() && plan->copies[next].target_at <= at;
        if (in_copy) end = std::min(end, plan->copies[next].target_at + plan->copies[next].length);
        else if (next < plan->copies.size()) end = std::min(end, plan->copies[next].target_at);
        size_t n = size_t(end - at);
        if (!target.read(at, a.get(), n)) return false;
        h.update(a.get(), n);
        if (in_copy && equal[next]) {
            const vcdiff::Copy& c = plan->copies[next];
            if (!source.read(c.source_at + (at - c.target_at), b.get(), n)) return false;
            if (std::memcmp(a.get(), b.get(), n) != 0) equal[next] = false;
        }
        at = end;
        if (in_copy && at == plan->copies[next].target_at + plan->copies[next].length) ++next;
    }
    std::vector<vcdiff::Copy> kept;
    for (size_t i = 0; i < plan->copies.size(); ++i)
        if (equal[i]) {
            kept.push_back(plan->copies[i]);
            plan->kept_bytes += plan->copies[i].length;
        }
    plan->copies.swap(kept);
    plan->kept = plan->copies.size();
    *translated = {dst_size, hex(h.finish())};
    return true;
}

// A file that appears under its name only once it is whole.
class Output {
public:
    explicit Output(const std::string& path) : path_(path), temp_(path + kNew) { f_ = host::open(temp_, "wb"); }
    ~Output() {
        if (f_) std::fclose(f_);
        if (!done_) host::remove_file(temp_);
    }
    FILE* file() const { return f_; }
    bool commit() {
        bool ok = f_ && std::fflush(f_) == 0;
        ok = std::fclose(f_) == 0 && ok;
        f_ = nullptr;
        return ok && host::replace(temp_, path_) && (done_ = true);
    }

private:
    std::string path_, temp_;
    FILE* f_ = nullptr;
    bool done_ = false;
};

bool make_folders(const std::string& root, const std::string& rel) {
    std::string path = root;
    size_t at = 0;
    while (true) {
        size_t slash = rel.find('/', at);
        if (slash == std::string::npos) return true;
        path = host::join(path, rel.substr(at, slash - at));
        if (!host::make_folder(path)) return false;
        at = slash + 1;
    }
}

std::string readme_text(const manifest::Manifest& m, uint64_t patched, uint64_t added) {
    std::string t;
    t += m.title + "\n" + std::string(m.title.size(), '=') + "\n\n";
    t += "This folder is a translation of the game, made with locbench. It changes " + std::to_string(patched) +
         " file" + (patched == 1 ? "" : "s") + " of the game and adds " + std::to_string(added) + ":\n\n";
    for (const manifest::Item& it : m.items)
        t += "  " + std::string(it.added ? "added:   " : "changed: ") + it.path + "\n";
    t += "\nIt holds no game file: only the changes, as patches, which apply to the\n"
         "very version of the game they were made for. Before anything is written,\n"
         "install checks every file it changes (size and SHA-256): a game of another\n"
         "version is refused and nothing is changed.\n\n";
    t += "Install on Windows\n------------------\n"
         "Put this whole folder into the game's folder (beside the game's files) and\n"
         "double-click install.exe. Or, in a console: install.exe, or\n"
         "  locbench install RELEASE-FOLDER GAME-FOLDER\n\n";
    t += "Install on Linux\n----------------\n"
         "  locbench install RELEASE-FOLDER GAME-FOLDER\n"
         "or run install.exe under Wine from the game's folder.\n\n";
    t += "Uninstall\n---------\n"
         "Double-click uninstall.exe (Windows), or run\n"
         "  locbench uninstall GAME-FOLDER\n"
         "It gives back the original bytes of every file the install changed and\n"
         "removes what it added. What it needs for that is kept in the folder\n"
         "\"" + std::string(kRecords) + "\" of the game's folder while the translation is installed:\n"
         "do not remove it.\n\n"
         "An interrupted install or uninstall (a crash, a power cut) leaves every\n"
         "file whole; run it again to finish it.\n\n";
    t += "Checksums (SHA-256)\n-------------------\n";
    for (const manifest::Item& it : m.items) {
        t += it.path + "\n";
        if (!it.added) t += "  original:   " + std::to_string(it.original.size) + " bytes  " + it.original.sha256 + "\n";
        t += "  translated: " + std::to_string(it.translated.size) + " bytes  " + it.translated.sha256 + "\n";
    }
    return t;
}

// A text for Notepad: UTF-8 with its byte order mark, CR LF line ends.
std::string for_notepad(const std::string& text) {
    std::string out = "\xEF\xBB\xBF";
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

bool write_text(const std::string& path, const std::string& text) {
    Output out(path);
    return out.file() && std::fwrite(text.data(), 1, text.size(), out.file()) == text.size() && out.commit();
}

} // namespace

int release_main(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "--help") {
            about::help(release_description());
            return 0;
        }
    std::vector<std::string> folders;
    std::string title;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--title") {
            if (i + 1 == args.size()) return usage("--title needs a text");
            title = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-' && args[i] != "--") {
            return usage("unknown option " + args[i]);
        } else {
            folders.push_back(args[i]);
        }
    }
    if (folders.size() != 3) return usage("three folders expected");
    const std::string &original = folders[0], &translated = folders[1], &out = folders[2];
    for (const std::string* f : {&original, &translated})
        if (host::look(*f).kind != host::Kind::Folder) return fail("Not a folder:", *f);
    host::Entry o = host::look(out);
    std::vector<host::Entry> in_out;
    if (o.kind != host::Kind::None && (o.kind != host::Kind::Folder || !host::list(out, &in_out) || !in_out.empty()))
        return fail("Refused: the release folder must not exist or be empty:", out);
    if (title.empty()) {
        std::string abs = host::absolute(translated);
        size_t slash = abs.find_last_of("/\\");
        title = slash == std::string::npos ? abs : abs.substr(slash + 1);
        title += " (translation)";
    }

    std::vector<std::string> files, links, original_files, original_links;
    std::string unreadable;
    if (!walk(translated, &files, &links, &unreadable) || !walk(original, &original_files, &original_links, &unreadable))
        return fail("Can't read", unreadable);
    for (const std::string& l : links) say("skipped (a link, not a file): ", l);
    std::map<std::string, std::string> namesake;
    for (const std::string& f : original_files) namesake.emplace(host::name_key(f), f);

    if (!host::make_folder(out)) return fail("Can't create", out);
    manifest::Manifest m;
    m.title = title;
    uint64_t unchanged = 0, patched = 0, added = 0, patch_bytes = 0;
    for (const std::string& rel : files) {
        std::string why;
        if (!manifest::safe_path(rel, &why)) return fail("Refused: " + why + ", which a game folder on Windows cannot hold:", rel);
    }
    for (const std::string& rel : files) {
        std::string to = host::join(translated, rel);
        auto found = namesake.find(host::name_key(rel));
        manifest::Item it;
        it.path = rel;
        if (found == namesake.end()) {
            it.added = true;
            it.data = std::string(kAdded) + "/" + rel;
            std::string dest = host::join(out, it.data);
            if (!make_folders(out, it.data)) return fail("Can't create a folder for", dest);
            if (!copy_file(to, dest + kNew) || !host::replace(dest + kNew, dest)) {
                host::remove_file(dest + kNew);
                return fail("Can't write", dest);
            }
            if (!digest_of(dest, &it.translated, true, rel)) return fail("Can't read", dest);
            it.data_digest = it.translated;
            say("add   ", rel, ": " + size_text(it.translated.size));
            ++added;
            patch_bytes += it.translated.size;
            m.items.push_back(it);
            continue;
        }
        std::string from = host::join(original, found->second);
        uint64_t from_size = host::look(from).size, to_size = host::look(to).size;
        bool failed = false;
        if (from_size == to_size && same_bytes(from, to, &failed)) {
            ++unchanged;
            continue;
        }
        if (failed) return fail("Can't read", from_size == to_size ? to : from);

        // The original's checksum on a thread of its own while the translated
        // file is read and matched.
        manifest::Digest od;
        bool o_ok = false;
        std::thread hashing([&] { o_ok = digest_of(from, &od); });
        FILE* src = host::open(from, "rb");
        FILE* dst = host::open(to, "rb");
        Plan plan;
        bool t_ok = src && dst && match_members(rel, src, from_size, dst, to_size, &plan, &it.translated);
        hashing.join();
        if (!o_ok || !t_ok) {
            if (src) std::fclose(src);
            if (dst) std::fclose(dst);
            return fail("Can't read", !o_ok ? from : to);
        }
        it.original = od;
        it.data = std::string(kPatches) + "/" + rel + ".vcdiff";
        std::string dest = host::join(out, it.data);
        if (!make_folders(out, it.data)) return fail("Can't create a folder for", dest);
        {
            Output patch(dest);
            if (!patch.file()) return fail("Can't create", dest);
            vcdiff::FileInput source(src), target(dst);
            Sink sink(patch.file(), 0);
            vcdiff::EncodeOptions options;
            options.search = !plan.archive && to_size <= kSearchedSize;
            vcdiff::encode(source, target, plan.copies, sink, options);
            std::fclose(src);
            std::fclose(dst);
            it.data_digest = sink.finish();
            if (sink.failed() || !patch.commit()) return fail("Can't write", dest);
        }
        std::string how = plan.archive ? ": " + std::to_string(plan.members - plan.kept) + " of " +
                                             std::to_string(plan.members) + " members new or changed"
                                       : "";
        say("patch ", rel, how + ", patch " + size_text(it.data_digest.size));
        ++patched;
        patch_bytes += it.data_digest.size;
        m.items.push_back(it);
    }
    if (m.items.empty()) {
        host::remove_folder(out);
        std::printf("Nothing to release: every file of the translated folder is the original's.\n");
        return 1;
    }
    if (!write_text(host::join(out, kReadme), for_notepad(readme_text(m, patched, added))))
        return fail("Can't write", host::join(out, kReadme));
    // The Windows programs a player double-clicks, when this locbench has
    // them beside it (its Windows build does).
    int programs = 0;
    for (const char* exe : {"install.exe", "uninstall.exe"}) {
        std::string there = host::join(host::program_folder(), exe);
        if (host::look(there).kind != host::Kind::File) continue;
        std::string dest = host::join(out, exe);
        if (!copy_file(there, dest + kNew) || !host::replace(dest + kNew, dest)) return fail("Can't write", dest);
        ++programs;
    }
    // The manifest last: a release without it is no release.
    if (!write_text(host::join(out, kManifest), manifest::write(m))) return fail("Can't write", host::join(out, kManifest));
    std::printf("Released: %llu file%s patched, %llu added, %llu unchanged left out; %s in patches and files.\n",
                static_cast<unsigned long long>(patched), patched == 1 ? "" : "s",
                static_cast<unsigned long long>(added), static_cast<unsigned long long>(unchanged),
                size_text(patch_bytes).c_str());
    if (programs < 2) std::printf("No install.exe beside locbench: players install with \"locbench install\".\n");
    return 0;
}

} // namespace release
