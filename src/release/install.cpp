// `locbench install RELEASE [GAME]` and `locbench uninstall [GAME]`.
//
// Install checks every file the release lists before it writes anything:
// each is the original (to be patched), already the translated file
// (skipped), or anything else (refused, nothing changed). Then, file by
// file, it writes the translated file beside the original, checks its
// SHA-256, makes a reverse patch from the two (checked by applying it), notes
// the file in its journal, and only then puts the new file in the old one's
// place in one step. The journal and the reverse patches stay in the game's
// folder (kRecords) for uninstall, which gives back the original bytes the
// same way. A run stopped at any instant leaves every file whole, and the
// next run finishes what it began. The journal and the reverse patches go
// through to the disk before a swap; a new game file, as every output of
// the jobs, takes the old one's place by a rename once it is complete.
#include "release/release.hpp"

#include "release/common.hpp"

#include "platform/host.hpp"

#include <algorithm>
#include <map>
#include <memory>

namespace release {
namespace {

constexpr uint64_t kLargestText = uint64_t(64) << 20; // a manifest or journal larger than this is no such file

int usage(const char* command, const std::string& what) {
    std::fprintf(stderr, "locbench %s: %s\n", command, what.c_str());
    if (std::string(command) == "install") std::fprintf(stderr, "usage: locbench install RELEASE [GAME]\n");
    else std::fprintf(stderr, "usage: locbench uninstall [GAME]\n");
    return 2;
}

bool read_text(const std::string& path, std::string* text, std::string* why) {
    FILE* f = host::open(path, "rb");
    if (!f) {
        *why = "it cannot be opened";
        return false;
    }
    text->clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        text->append(buf, n);
        if (text->size() > kLargestText) {
            std::fclose(f);
            *why = "it is far larger than a manifest is";
            return false;
        }
    }
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) *why = "it cannot be read";
    return ok;
}

std::string digest_words(const manifest::Digest& d) {
    return std::to_string(d.size) + " bytes, sha256 " + d.sha256;
}

// The reason a path of a release may not be used in `game`: a component on
// the way that is a link or a junction (or not a folder), so that no write
// can leave the game's folder. Empty when it is safe.
std::string way_out(const std::string& game, const std::string& rel) {
    std::string path = game;
    size_t at = 0;
    while (true) {
        size_t slash = rel.find('/', at);
        std::string part = rel.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
        path = host::join(path, part);
        host::Entry e = host::look(path);
        if (e.kind == host::Kind::Link) return "leads through a link or junction (" + rel.substr(0, slash) + ")";
        if (slash == std::string::npos) {
            if (e.kind == host::Kind::Folder || e.kind == host::Kind::Other) return "is no file in the game";
            return "";
        }
        if (e.kind != host::Kind::Folder && e.kind != host::Kind::None) return "has a file where a folder should be";
        if (e.kind == host::Kind::None) return "";
        at = slash + 1;
    }
}

// The records of an install: where they are and what they hold.
struct Records {
    std::string folder, journal;
    manifest::Manifest m;
};

Records records_of(const std::string& game) {
    Records r;
    r.folder = host::join(game, kRecords);
    r.journal = host::join(r.folder, kJournal);
    return r;
}

bool write_journal(const Records& r) {
    std::string text = manifest::write(r.m), temp = r.journal + kNew;
    FILE* f = host::open(temp, "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size() && host::sync(f);
    ok = std::fclose(f) == 0 && ok;
    if (ok && host::replace(temp, r.journal)) return true;
    host::remove_file(temp);
    return false;
}

// A reverse patch's name in the records: one per file of the release.
std::string reverse_name(size_t index) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04zu.vcdiff", index);
    return buf;
}

// Applies a patch to `source` into `out_path` (nullptr: into nothing, only
// checking), and tells whether the result is `expected`.
struct Applied {
    bool ok = false;
    bool cant_write = false; // the result could not be written (a full disk)
    std::string why;
    std::vector<vcdiff::Copy> copies;
};
Applied apply(const std::string& source_path, const std::string& patch_path, const std::string* out_path,
              const manifest::Digest& expected, const std::string& label, bool want_copies) {
    Applied a;
    FILE* src = host::open(source_path, "rb");
    FILE* patch = host::open(patch_path, "rb");
    FILE* out = out_path ? host::open(*out_path, "w+b") : nullptr;
    if (!src || !patch || (out_path && !out)) {
        a.why = !src ? "can't read " + source_path : !patch ? "can't read " + patch_path : "can't create " + *out_path;
        if (src) std::fclose(src);
        if (patch) std::fclose(patch);
        if (out) std::fclose(out);
        return a;
    }
    vcdiff::FileInput s(src), p(patch);
    Sink sink(out, expected.size, label);
    vcdiff::DecodeResult r = vcdiff::decode(s, p, sink, want_copies ? &a.copies : nullptr);
    manifest::Digest got = sink.finish();
    bool wrote = !sink.failed() && (!out || std::fflush(out) == 0);
    std::fclose(src);
    std::fclose(patch);
    if (out) wrote = std::fclose(out) == 0 && wrote;
    if (!r.ok) a.why = r.why;
    else if (!wrote) {
        a.why = "can't write " + *out_path;
        a.cant_write = true;
    }
    else if (!(got == expected))
        a.why = "its result is not the file expected (" + digest_words(expected) + "): " + digest_words(got);
    else a.ok = true;
    return a;
}

// The copies a patch made, turned round: the ranges of the original that the
// translated file holds too, sorted by where they lie in the original and
// apart from each other.
std::vector<vcdiff::Copy> reversed(const std::vector<vcdiff::Copy>& copies) {
    std::vector<vcdiff::Copy> r;
    r.reserve(copies.size());
    for (const vcdiff::Copy& c : copies) r.push_back({c.source_at, c.target_at, c.length});
    std::sort(r.begin(), r.end(), [](const vcdiff::Copy& a, const vcdiff::Copy& b) { return a.target_at < b.target_at; });
    std::vector<vcdiff::Copy> apart;
    for (vcdiff::Copy c : r) {
        if (!apart.empty()) {
            uint64_t end = apart.back().target_at + apart.back().length;
            if (c.target_at + c.length <= end) continue;
            if (c.target_at < end) {
                uint64_t cut = end - c.target_at;
                c.target_at += cut;
                c.source_at += cut;
                c.length -= cut;
            }
        }
        apart.push_back(c);
    }
    return apart;
}

// Makes the reverse patch (translated `from` back to original `to`) into
// `out_path`, knowing the copies the forward patch made.
bool make_reverse(const std::string& translated, const std::string& original, const std::vector<vcdiff::Copy>& known,
                  const std::string& out_path, manifest::Digest* d) {
    FILE* src = host::open(translated, "rb");
    FILE* dst = host::open(original, "rb");
    FILE* out = host::open(out_path, "wb");
    bool ok = src && dst && out;
    if (ok) {
        vcdiff::FileInput s(src), t(dst);
        Sink sink(out);
        vcdiff::EncodeOptions options;
        options.search = false;
        vcdiff::encode(s, t, known, sink, options);
        *d = sink.finish();
        ok = !sink.failed() && host::sync(out);
    }
    if (src) std::fclose(src);
    if (dst) std::fclose(dst);
    if (out) ok = std::fclose(out) == 0 && ok;
    if (!ok) host::remove_file(out_path);
    return ok;
}

bool has_listed_files(const std::string& game, const manifest::Manifest& m) {
    if (host::look(host::join(game, kRecords)).kind == host::Kind::Folder) return true;
    for (const manifest::Item& it : m.items)
        if (!it.added && host::look(host::join(game, it.path)).kind == host::Kind::File) return true;
    return false;
}

int install(const std::string& release, const std::string& game) {
    // The manifest and every patch of the release, checked whole first.
    std::string manifest_path = host::join(release, kManifest), text, why;
    manifest::Manifest m;
    if (host::look(release).kind != host::Kind::Folder) {
        say("Not a folder: ", release);
        return 1;
    }
    if (host::look(game).kind != host::Kind::Folder) {
        say("Not a folder: ", game);
        return 1;
    }
    if (!read_text(manifest_path, &text, &why) || !manifest::read(text, &m, &why)) {
        say("Damaged file ", manifest_path, ": " + why + "; nothing was changed");
        return 1;
    }
    std::string release_key = host::name_key(host::absolute(release));
    for (const manifest::Item& it : m.items) {
        std::string data = host::join(release, it.data);
        manifest::Digest d;
        if (host::look(data).kind != host::Kind::File) {
            say("Damaged release: ", data, " is missing; nothing was changed");
            return 1;
        }
        if (!digest_of(data, &d, true, it.data) || !(d == it.data_digest)) {
            say("Damaged file ", data, ": " + digest_words(d) + ", not " + digest_words(it.data_digest) +
                                           " as the manifest says; nothing was changed");
            return 1;
        }
        std::string bad = way_out(game, it.path);
        if (!bad.empty()) {
            say("Refused: ", it.path, " " + bad + "; nothing was changed");
            return 1;
        }
        // The release's own files are never written over.
        std::string target_key = host::name_key(host::absolute(host::join(game, it.path)));
        if (target_key.compare(0, release_key.size(), release_key) == 0 &&
            (target_key.size() == release_key.size() || target_key[release_key.size()] == '/' ||
             target_key[release_key.size()] == '\\')) {
            say("Refused: ", it.path, " lies in the release's own folder; nothing was changed");
            return 1;
        }
    }

    // What each file of the game is.
    Records rec = records_of(game);
    std::string manifest_sha;
    {
        sha256::Hasher h;
        h.update(text.data(), text.size());
        manifest_sha = hex(h.finish());
    }
    const std::string journal_title = "installed " + manifest_sha + " " + m.title;
    if (host::look(rec.folder).kind == host::Kind::Link) {
        say("Refused: ", rec.folder, " is a link; nothing was changed");
        return 1;
    }
    if (host::look(rec.journal).kind == host::Kind::File) {
        std::string jt;
        if (!read_text(rec.journal, &jt, &why) || !manifest::read(jt, &rec.m, &why)) {
            say("Damaged file ", rec.journal, ": " + why + "; nothing was changed");
            return 1;
        }
        if (rec.m.title != journal_title) {
            say("Refused: another translation is installed in ", game,
                " (" + rec.m.title.substr(std::min<size_t>(rec.m.title.size(), 75)) +
                    "): uninstall it first; nothing was changed");
            return 1;
        }
    } else {
        rec.m.title = journal_title;
    }

    std::vector<size_t> todo;
    size_t skipped = 0, refused = 0;
    uint64_t largest = 0, records = 0;
    for (size_t i = 0; i < m.items.size(); ++i) {
        const manifest::Item& it = m.items[i];
        std::string path = host::join(game, it.path);
        host::Entry e = host::look(path);
        manifest::Digest d;
        if (e.kind == host::Kind::File && !digest_of(path, &d, true, it.path)) {
            say("Can't read ", path, "; nothing was changed");
            return 1;
        }
        bool there = e.kind == host::Kind::File;
        if (there && d == it.translated) {
            ++skipped;
            continue;
        }
        if ((it.added && !there) || (!it.added && there && d == it.original)) {
            todo.push_back(i);
            largest = std::max(largest, it.translated.size);
            records += it.data_digest.size + 4096;
            continue;
        }
        ++refused;
        std::string expected = it.added ? "no file, or the translated one (" + digest_words(it.translated) + ")"
                                        : "the original (" + digest_words(it.original) + ") or the translated one (" +
                                              digest_words(it.translated) + ")";
        say("Refused: ", it.path, ": expected " + expected + ", found " + (there ? digest_words(d) : "no file"));
    }
    if (refused > 0) {
        std::printf("This release is for another version of the game, or these files were changed: nothing was "
                    "changed.\n");
        return 1;
    }
    if (todo.empty()) {
        std::printf("Already installed: all %zu files are the translated ones; nothing was changed.\n", skipped);
        return 0;
    }
    uint64_t room = host::free_space(game), need = largest + records + (uint64_t(1) << 20);
    if (room < need) {
        std::printf("Refused: not enough room on the disk: %s needed, %s free; nothing was changed.\n",
                    size_text(need).c_str(), size_text(room).c_str());
        return 1;
    }

    // From here on files are written, one at a time, each swapped in whole.
    // A run that fails before its first swap takes back the records it began
    // (when no earlier run left any): the game is as it was.
    const bool fresh = host::look(rec.folder).kind == host::Kind::None;
    size_t patched = 0, added = 0;
    auto failed = [&](const std::string& before, const std::string& path, const std::string& after = "") {
        say(before, path, after);
        if (fresh && patched + added == 0) {
            for (const manifest::Item& it : rec.m.items)
                if (!it.added) host::remove_file(host::join(rec.folder, it.data));
            host::remove_file(rec.journal);
            for (size_t i : todo) host::remove_file(host::join(rec.folder, reverse_name(i)) + kNew);
            host::remove_folder(rec.folder);
        }
        return 1;
    };
    if (!host::make_folder(rec.folder)) return failed("Can't create ", rec.folder);
    if (!write_journal(rec)) return failed("Can't write ", rec.journal);
    for (size_t i : todo) {
        const manifest::Item& it = m.items[i];
        std::string path = host::join(game, it.path), temp = path + kNew, data = host::join(release, it.data);
        manifest::Item noted = it;
        if (it.added) {
            // Folders on the way that are not there yet: noted first, so
            // that uninstall takes them away again.
            size_t at = 0, slash;
            while ((slash = it.path.find('/', at)) != std::string::npos) {
                std::string folder = it.path.substr(0, slash);
                if (host::look(host::join(game, folder)).kind == host::Kind::None &&
                    std::find(rec.m.folders.begin(), rec.m.folders.end(), folder) == rec.m.folders.end())
                    rec.m.folders.push_back(folder);
                at = slash + 1;
            }
            rec.m.items.erase(std::remove_if(rec.m.items.begin(), rec.m.items.end(),
                                             [&](const manifest::Item& x) { return x.path == it.path; }),
                              rec.m.items.end());
            rec.m.items.push_back(noted);
            if (!write_journal(rec)) return failed("Can't write ", rec.journal);
            for (at = 0; (slash = it.path.find('/', at)) != std::string::npos; at = slash + 1)
                if (!host::make_folder(host::join(game, it.path.substr(0, slash))))
                    return failed("Can't create ", host::join(game, it.path.substr(0, slash)));
            manifest::Digest d;
            if (!copy_file(data, temp) || !digest_of(temp, &d) || !(d == it.translated)) {
                host::remove_file(temp);
                return failed("Can't write ", path);
            }
            if (host::look(path).kind != host::Kind::None || !host::replace(temp, path)) {
                host::remove_file(temp);
                return failed("Can't replace ", path);
            }
            say("added    ", it.path);
            ++added;
            continue;
        }
        // The translated file beside the original, checked.
        Applied a = apply(path, data, &temp, it.translated, it.path, true);
        if (!a.ok) {
            host::remove_file(temp);
            if (a.cant_write) return failed("Can't write ", temp);
            return failed("Damaged file ", data, ": " + a.why + "; " + it.path + " was not changed");
        }
        // The way back: a reverse patch, checked by applying it.
        std::string reverse = reverse_name(i), reverse_path = host::join(rec.folder, reverse);
        manifest::Digest rd;
        if (!make_reverse(temp, path, reversed(a.copies), reverse_path + kNew, &rd)) {
            host::remove_file(temp);
            return failed("Can't write ", reverse_path);
        }
        Applied back = apply(temp, reverse_path + kNew, nullptr, it.original, it.path, false);
        if (!back.ok || !host::replace(reverse_path + kNew, reverse_path)) {
            host::remove_file(temp);
            host::remove_file(reverse_path + kNew);
            return failed(back.ok ? "Can't write " : "The way back failed its check for ", reverse_path,
                          back.ok ? "" : ": " + back.why);
        }
        noted.data = reverse;
        noted.data_digest = rd;
        rec.m.items.erase(std::remove_if(rec.m.items.begin(), rec.m.items.end(),
                                         [&](const manifest::Item& x) { return x.path == it.path; }),
                          rec.m.items.end());
        rec.m.items.push_back(noted);
        if (!write_journal(rec)) {
            host::remove_file(temp);
            return failed("Can't write ", rec.journal);
        }
        if (!host::replace(temp, path)) {
            host::remove_file(temp);
            return failed("Can't replace ", path);
        }
        say("patched  ", it.path, " (" + size_text(it.translated.size) + ")");
        ++patched;
    }
    std::printf("Installed: %zu patched, %zu added, %zu already translated. \"locbench uninstall\" (uninstall.exe) "
                "takes it out again.\n",
                patched, added, skipped);
    return 0;
}

int uninstall(const std::string& game) {
    Records rec = records_of(game);
    if (host::look(game).kind != host::Kind::Folder) {
        say("Not a folder: ", game);
        return 1;
    }
    if (host::look(rec.folder).kind == host::Kind::None) {
        say("Nothing to uninstall: no translation installed by locbench in ", game);
        return 0;
    }
    std::string jt, why;
    if (host::look(rec.journal).kind == host::Kind::None) {
        // Only a stopped uninstall leaves the folder without its journal.
        std::vector<host::Entry> left;
        host::list(rec.folder, &left);
        for (const host::Entry& e : left) host::remove_file(host::join(rec.folder, e.name));
        host::remove_folder(rec.folder);
        std::printf("Uninstalled: the last records removed.\n");
        return 0;
    }
    if (!read_text(rec.journal, &jt, &why) || !manifest::read(jt, &rec.m, &why)) {
        say("Damaged file ", rec.journal, ": " + why + "; nothing was changed");
        return 1;
    }
    for (const manifest::Item& it : rec.m.items) {
        std::string bad = way_out(game, it.path);
        if (!bad.empty() || (!it.added && it.data.find('/') != std::string::npos)) {
            say("Refused: ", it.path, " " + (bad.empty() ? std::string("has a record outside the records") : bad) +
                                          "; nothing was changed");
            return 1;
        }
    }
    std::vector<manifest::Item> kept;
    size_t restored = 0, removed = 0;
    for (auto it = rec.m.items.rbegin(); it != rec.m.items.rend(); ++it) {
        std::string path = host::join(game, it->path);
        host::Entry e = host::look(path);
        manifest::Digest d;
        if (e.kind == host::Kind::File && !digest_of(path, &d, true, it->path)) {
            say("Can't read ", path);
            kept.insert(kept.begin(), *it);
            continue;
        }
        bool there = e.kind == host::Kind::File;
        if (it->added) {
            if (!there) continue;
            if (d == it->translated) {
                if (!host::remove_file(path)) {
                    say("Can't remove ", path);
                    kept.insert(kept.begin(), *it);
                    continue;
                }
                say("removed  ", it->path);
                ++removed;
                continue;
            }
        } else {
            if (there && d == it->original) continue; // given back before
            if (there && d == it->translated) {
                std::string reverse = host::join(rec.folder, it->data), temp = path + kNew;
                manifest::Digest rd;
                if (!digest_of(reverse, &rd) || !(rd == it->data_digest)) {
                    say("Damaged file ", reverse, ": " + digest_words(rd) + ", not " + digest_words(it->data_digest) +
                                                      "; " + it->path + " is left as it is");
                    kept.insert(kept.begin(), *it);
                    continue;
                }
                Applied a = apply(path, reverse, &temp, it->original, it->path, false);
                if (!a.ok || !host::replace(temp, path)) {
                    host::remove_file(temp);
                    say("Can't give back ", it->path, ": " + (a.ok ? "can't replace " + path : a.why));
                    kept.insert(kept.begin(), *it);
                    continue;
                }
                say("restored ", it->path);
                ++restored;
                continue;
            }
        }
        say("Left as it is: ", it->path,
            ": it changed since the install (" + (there ? digest_words(d) : std::string("no file")) +
                "); its records are kept");
        kept.insert(kept.begin(), *it);
    }
    if (!kept.empty()) {
        // What could not be given back stays recorded; the rest is done.
        manifest::Manifest left = rec.m;
        left.items = kept;
        Records r = rec;
        r.m = left;
        if (write_journal(r))
            for (const manifest::Item& it : rec.m.items)
                if (!it.added && std::none_of(kept.begin(), kept.end(), [&](const manifest::Item& k) { return k.path == it.path; }))
                    host::remove_file(host::join(rec.folder, it.data));
        std::printf("Uninstalled in part: %zu restored, %zu removed, %zu left as they are.\n", restored, removed,
                    kept.size());
        return 1;
    }
    // The folders the install made, deepest first, where they are empty.
    std::vector<std::string> folders = rec.m.folders;
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& f : folders) host::remove_folder(host::join(game, f));
    // The journal last but one, the folder last: a stopped run is finished by
    // the next.
    for (const manifest::Item& it : rec.m.items)
        if (!it.added) host::remove_file(host::join(rec.folder, it.data));
    host::remove_file(rec.journal);
    std::vector<host::Entry> left;
    host::list(rec.folder, &left);
    for (const host::Entry& e : left)
        if (e.name.size() > std::string(kNew).size() &&
            e.name.compare(e.name.size() - std::string(kNew).size(), std::string::npos, kNew) == 0)
            host::remove_file(host::join(rec.folder, e.name));
    if (!host::remove_folder(rec.folder)) say("Can't remove ", rec.folder, " (it holds files of someone else's)");
    std::printf("Uninstalled: %zu restored, %zu removed; the game is as it was before the install.\n", restored,
                removed);
    return 0;
}

bool help_asked(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), "--help") != args.end();
}

} // namespace

int install_main(const std::vector<std::string>& args) {
    if (help_asked(args)) {
        about::help(install_description());
        return 0;
    }
    for (const std::string& a : args)
        if (a.size() > 1 && a[0] == '-') return usage("install", "unknown option " + a);
    if (args.empty() || args.size() > 2) return usage("install", "a release folder (and a game folder) expected");
    return install(args[0], args.size() == 2 ? args[1] : ".");
}

int uninstall_main(const std::vector<std::string>& args) {
    if (help_asked(args)) {
        about::help(uninstall_description());
        return 0;
    }
    for (const std::string& a : args)
        if (a.size() > 1 && a[0] == '-') return usage("uninstall", "unknown option " + a);
    if (args.size() > 1) return usage("uninstall", "at most a game folder expected");
    return uninstall(args.empty() ? "." : args[0]);
}

int install_here(const std::vector<std::string>& args) {
    if (!args.empty()) return install_main(args);
    std::string release = host::program_folder(), text, why;
    manifest::Manifest m;
    std::string game = host::parent(release);
    if (read_text(host::join(release, kManifest), &text, &why) && manifest::read(text, &m, &why) &&
        !has_listed_files(game, m) && has_listed_files(".", m))
        game = ".";
    return install(release, game);
}

int uninstall_here(const std::vector<std::string>& args) {
    if (!args.empty()) return uninstall_main(args);
    std::string game = host::parent(host::program_folder());
    if (host::look(host::join(game, kRecords)).kind == host::Kind::None &&
        host::look(host::join(".", kRecords)).kind != host::Kind::None)
        game = ".";
    return uninstall(game);
}

} // namespace release
