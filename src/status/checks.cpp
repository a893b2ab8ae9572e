// The checks that look beyond what is there and when it was written: the
// names a job passes over, what a run would refuse, and the figures a team
// steers by.
#include "formats/lod.hpp"
#include "jobs/texts/ready.hpp"
#include "jobs/texts/tables.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"
#include "status/engine.hpp"
#include "status/fonts.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace status {

using nlohmann::json;

namespace {

std::string utf8(const std::string& s) { return win::to_utf8(s); }

const about::Place* job_place(const chains::Step& s, about::Kind kind, int use) {
    const about::Job* j = about::find(s.job ? s.job : "");
    if (!j) return nullptr;
    for (const about::Place& p : j->places)
        if (p.kind == kind && p.use == use) return &p;
    return nullptr;
}

bool ends_with_folded(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && win::fold_case(s.substr(s.size() - end.size())) == win::fold_case(end);
}

// Problems about many files of one folder: each file by itself while they are
// few, else one problem that names the first of them.
void add_files(StepView& v, const std::string& folder, const std::vector<std::string>& names, const std::string& one,
               const std::string& many, const std::string& todo) {
    if (names.empty()) return;
    if (names.size() <= 5) {
        for (const std::string& n : names) v.problems.push_back({folder + n, one, todo});
        return;
    }
    Problem p{folder, io::format("%zu files %s (%s)", names.size(), many.c_str(), some(names).c_str()), todo};
    p.files.assign(names.begin(), names.begin() + std::min<size_t>(names.size(), 100));
    p.count = names.size();
    v.problems.push_back(p);
}

// Whether the file at `path` holds exactly the bytes of `m` in `archive`.
bool same_bytes(const std::string& archive, const Member& m, const std::string& path) {
    FILE* a = win::fopen(archive.c_str(), "rb");
    FILE* b = win::fopen(path.c_str(), "rb");
    bool same = a && b && io::size_of(b) == m.size;
    if (same) {
        std::fseek(a, long(m.offset), SEEK_SET);
        std::vector<uint8_t> x(1 << 16), y(1 << 16);
        for (uint64_t done = 0; same && done < m.size;) {
            size_t want = size_t(std::min<uint64_t>(x.size(), m.size - done));
            same = io::read(a, x.data(), want) == want && io::read(b, y.data(), want) == want &&
                   std::equal(x.begin(), x.begin() + long(want), y.begin());
            done += want;
        }
    }
    if (a) std::fclose(a);
    if (b) std::fclose(b);
    return same;
}

// The archive a check of a step is about: its one fixed input of `f`; null
// when it is not there or is damaged (the archive check tells that).
const Archive* archive_of(Run& run, const chains::Step& s, Format f) {
    std::string path = need_of_format(s, f);
    if (path.empty()) return nullptr;
    const Archive& a = run.tree.archive(path, lod_entries(path), run.verify);
    return a.there && a.fault.empty() ? &a : nullptr;
}

// ---------------------------------------------------------------------------
// PAK

void rus_names(Run& run, StepView& v) {
    const Archive* a = archive_of(run, *v.step, Format::Pak);
    const Set* rus = first_folder(run, *v.step);
    if (!a || !rus) return;
    std::vector<std::string> names;
    std::unordered_set<std::string> members;
    for (const Member& m : a->members) {
        names.push_back(m.name);
        members.insert(win::fold_case(m.name));
    }
    for (const File& f : rus->files) {
        if (members.count(win::fold_case(f.name))) continue;
        std::string near = closest(f.name, names);
        v.problems.push_back({rus->path(f),
                              "its name matches no member's flat name" + (near.empty() ? "" : " (closest: " + near + ")"),
                              "patchpak passes it over without a word: give it its member's flat name, or remove it"});
    }
}

void pak_patched(Run& run, StepView& v) {
    std::string path = need_of_format(*v.step, Format::Pak);
    const Archive* a = archive_of(run, *v.step, Format::Pak);
    const Set* rus = first_folder(run, *v.step);
    if (!a || !rus) return;
    std::unordered_map<std::string, const Member*> by_name;
    for (const Member& m : a->members) by_name.emplace(win::fold_case(m.name), &m);
    win::FindData fd;
    int64_t patched = 0;
    intptr_t h = win::findfirst(path.c_str(), &fd);
    if (h != -1) {
        win::findclose(h);
        patched = fd.modified;
    }
    uint64_t replace = 0, same_length = 0, equal = 0;
    std::vector<std::string> not_in, changed;
    for (const File& f : rus->files) {
        auto it = by_name.find(win::fold_case(f.name));
        if (it == by_name.end()) continue;
        ++replace;
        bool in = f.size == it->second->size;
        same_length += in;
        if (in && run.verify) {
            in = same_bytes(path, *it->second, rus->path(f));
            equal += in;
        }
        if (!in) not_in.push_back(f.name);
        else if (!run.verify && !run.by_content && f.modified > patched) changed.push_back(f.name);
    }
    v.details.push_back(plural(a->members.size(), "member", "members") + "; " +
                        plural(rus->files.size(), "file", "files") + " in " + rus->folder + ": " +
                        std::to_string(replace) + (replace == 1 ? " replaces a member, " : " replace a member, ") +
                        std::to_string(run.verify ? equal : same_length) +
                        (run.verify ? " equal to their member" : " of the same length as their member"));
    v.counts = {{"members", a->members.size()},
                {"files", rus->files.size()},
                {"replace", replace},
                {"same_length", same_length},
                {"equal", run.verify ? json(equal) : json(nullptr)}};
    if (replace == 0) {
        if (rus->there()) {
            v.state = State::Waiting;
            v.reason = "none of the files in " + rus->folder + " is named as a member";
        }
        return;
    }
    if (!not_in.empty()) {
        v.state = State::Ready;
        v.reason = std::to_string(not_in.size()) + " of the " + plural(replace, "file", "files") + " in " +
                   rus->folder + (replace == 1 ? " that replaces" : " that replace") + " a member " +
                   (not_in.size() == 1 ? "is" : "are") + " not in the archive yet (" + some(not_in) + ")";
    } else if (!changed.empty()) {
        v.state = State::Stale;
        v.reason = rus->folder + some(changed, 1) + " changed after the archive was patched: run patchpak again";
    } else {
        v.state = State::Done;
        v.reason = std::string(replace == 1 ? "the file" : "every file") + " in " + rus->folder +
                   " that replaces a member is in the archive" +
                   (run.verify ? " (the same bytes)" : " (the same length, and the archive is newer; --verify compares the bytes)");
    }
}

// ---------------------------------------------------------------------------
// LOD

// The four digits and the name of an entry file "NNNN_name.zl".
bool entry_number(const std::string& file, uint64_t* k) {
    size_t d = 0;
    *k = 0;
    while (d < file.size() && std::isdigit(static_cast<unsigned char>(file[d])) && d < 10) *k = *k * 10 + uint64_t(file[d++] - '0');
    return d > 0 && d < file.size() && file[d] == '_';
}

void ready_entries(Run& run, StepView& v) {
    std::string source = need_of_format(*v.step, Format::Lod);
    const Archive* a = archive_of(run, *v.step, Format::Lod);
    const Set* ready = first_folder(run, *v.step);
    if (!a || !ready) return;
    const std::vector<File>* files = run.tree.folder(ready->folder);
    if (!files) return;
    std::unordered_map<std::string, size_t> expected;
    for (size_t k = 0; k < a->members.size(); ++k)
        expected.emplace(win::fold_case(lod::entry_file_name(k, a->members[k].name)), k);
    uint64_t taken = 0;
    std::vector<std::string> passed;
    for (const File& f : *files) {
        auto it = expected.find(win::fold_case(f.name));
        if (it != expected.end()) {
            ++taken;
            if (f.size < lod::kHeaderSize)
                v.problems.push_back({ready->path(f),
                                      io::format("its entry header is cut short: the file has %llu bytes, fewer than "
                                                 "the 48 of an entry header",
                                                 static_cast<unsigned long long>(f.size)),
                                      std::string(v.step->job) + " would take it as it is: make it again"});
            continue;
        }
        passed.push_back(f.name);
        uint64_t k = 0;
        std::string what;
        if (!entry_number(f.name, &k))
            what = "its name is not that of an entry file, NNNN_name.zl, of " + source;
        else if (k >= a->members.size())
            what = io::format("no entry of %s has the number %llu (it has %zu entries)", source.c_str(),
                              static_cast<unsigned long long>(k), a->members.size());
        else
            what = "entry " + io::format("%04llu", static_cast<unsigned long long>(k)) + " of " + source +
                   " is named " + a->members[k].name + ": its file is " + lod::entry_file_name(k, a->members[k].name);
        if (passed.size() <= 5)
            v.problems.push_back({ready->path(f), "matches no entry by number and name: " + what,
                                  std::string(v.step->job) +
                                      " passes it over without a word: name it NNNN_name.zl after its entry, or "
                                      "remove it"});
    }
    if (passed.size() > 5) {
        Problem p{ready->folder,
                  io::format("%zu more files match no entry of %s by number and name (%s)", passed.size() - 5,
                             source.c_str(), some(std::vector<std::string>(passed.begin() + 5, passed.end())).c_str()),
                  std::string(v.step->job) + " passes them over without a word: name each NNNN_name.zl after its "
                                             "entry, or remove it"};
        p.count = passed.size() - 5;
        v.problems.push_back(p);
    }
    v.details.push_back(ready->folder + ": " + plural(files->size(), "file", "files") + ", " + std::to_string(taken) +
                        " taken by " + v.step->job + " (of " + std::to_string(a->members.size()) + " entries), " +
                        std::to_string(passed.size()) + " passed over");
    v.counts = {{"files", files->size()}, {"taken", taken}, {"passed_over", passed.size()},
                {"entries", a->members.size()}};
}

void all_entries(Run& run, StepView& v) {
    const Archive* a = archive_of(run, *v.step, Format::Lod);
    const Set* folder = first_folder(run, *v.step);
    if (!a || !folder) return;
    const std::vector<File>* files = run.tree.folder(folder->folder);
    std::unordered_set<std::string> there;
    if (files)
        for (const File& f : *files) there.insert(win::fold_case(f.name));
    std::vector<std::string> missing;
    for (size_t k = 0; k < a->members.size(); ++k) {
        std::string name = lod::entry_file_name(k, a->members[k].name);
        if (!there.count(win::fold_case(name))) missing.push_back(name);
    }
    v.details.push_back(folder->folder + " holds " + std::to_string(a->members.size() - missing.size()) + " of the " +
                        std::to_string(a->members.size()) + " entry files");
    v.counts = {{"entries", a->members.size()}, {"there", a->members.size() - missing.size()}};
    if (missing.empty()) return;
    Problem p{folder->folder,
              io::format("%zu of the %zu entry files are missing (%s)", missing.size(), a->members.size(),
                         some(missing).c_str()),
              std::string(v.step->job) + " stops at the first with \"Can't create file\": put every entry file there"};
    p.files.assign(missing.begin(), missing.begin() + std::min<size_t>(missing.size(), 100));
    p.count = missing.size();
    v.problems.push_back(p);
}

void merged_payloads(Run& run, StepView& v) {
    const chains::Step& s = *v.step;
    const Set* payloads = first_folder(run, s);
    const about::Place* icons = job_place(s, about::Kind::Folder, about::Reads);
    const about::Place* out = job_place(s, about::Kind::Folder, about::Writes);
    if (!payloads || !icons || !out) return;
    const bool any_index = icons->names && std::string(icons->names).rfind("NNNN_", 0) == 0;
    const std::string icons_folder = chains::absolute(*icons), out_folder = chains::absolute(*out);
    const std::vector<File>* beside = run.tree.folder(payloads->folder);
    const std::vector<File>* icon_files = run.tree.folder(icons_folder);
    const std::vector<File>* outputs = run.tree.folder(out_folder);
    // The folders' files by their folded names; the icons files also by
    // each end that follows an underscore ("*_N" finds the first in order).
    auto by_name = [](const std::vector<File>* files) {
        std::unordered_map<std::string, const File*> m;
        if (files)
            for (const File& f : *files) m.emplace(win::fold_case(f.name), &f);
        return m;
    };
    auto find = [](const std::unordered_map<std::string, const File*>& m, const std::string& name) -> const File* {
        auto it = m.find(win::fold_case(name));
        return it == m.end() ? nullptr : it->second;
    };
    const auto beside_names = by_name(beside), out_names = by_name(outputs), icon_names = by_name(icon_files);
    std::unordered_map<std::string, const File*> icon_ends;
    if (any_index && icon_files)
        for (const File& f : *icon_files)
            for (size_t u = f.name.find('_'); u != std::string::npos; u = f.name.find('_', u + 1))
                icon_ends.emplace(win::fold_case(f.name.substr(u + 1)), &f);
    uint64_t count = 0, merged = 0;
    std::vector<std::string> headless, unmerged;
    for (const File& n : payloads->files) {
        std::string x = n.name.substr(0, n.name.size() - 3);
        bool x_there = find(beside_names, x) != nullptr;
        const File* m = find(any_index ? icon_ends : icon_names, n.name);
        if (!m) {
            if (x_there) headless.push_back(n.name);
            continue;
        }
        if (!x_there) {
            v.problems.push_back({payloads->path(n), "its unpacked file " + x + " is not beside it",
                                  std::string(s.job) + " stops with \"Can't open\": put " + x +
                                      " beside it, or remove " + n.name});
            continue;
        }
        ++count;
        if (s.flags & chains::InPlace) continue;
        const File* o = find(out_names, m->name);
        if (!o) {
            unmerged.push_back(n.name);
            continue;
        }
        ++merged;
        if (n.modified > o->modified)
            v.problems.push_back({payloads->path(n),
                                  "newer than the merged entry file " + out_folder + o->name +
                                      " made from it: that entry file still holds the old payload",
                                  "run " + std::string(s.job) + " again"});
    }
    add_files(v, payloads->folder, headless,
              std::string("no entry file in ") + icons_folder + (any_index ? " ends in _" : " has its name") +
                  ": no header for it",
              std::string("have no entry file in ") + icons_folder + " to take a header from",
              std::string(s.job) + " passes it over without a word: put its entry's header-first entry file into " +
                  icons_folder + ", or correct its name");
    v.details.push_back(payloads->folder + ": " + plural(count, "repacked payload", "repacked payloads") +
                        (s.flags & chains::InPlace ? "" : ", " + std::to_string(merged) + " merged"));
    v.counts = {{"payloads", count}, {"merged", (s.flags & chains::InPlace) ? json(nullptr) : json(merged)}};
    if (s.flags & chains::InPlace) return;
    if (count == 0) {
        v.state = State::Waiting;
        v.reason = "no repacked payload X.zl with its unpacked X beside it in " + payloads->folder +
                   " (packpayloads packs them)";
    } else if (!unmerged.empty()) {
        v.state = State::Ready;
        v.reason = std::to_string(unmerged.size()) + " of the " + plural(count, "repacked payload", "repacked payloads") +
                   " in " + payloads->folder + " have no merged entry file yet (" + some(unmerged) + ")";
    } else {
        v.state = State::Done;
        v.reason = "each of the " + plural(count, "repacked payload", "repacked payloads") + " in " +
                   payloads->folder + " has its merged entry file, newer than it";
    }
}

// ---------------------------------------------------------------------------
// Sound and video

void sounds(Run& run, StepView& v) {
    const Archive* a = archive_of(run, *v.step, Format::Snd);
    const Set* ready = first_folder(run, *v.step);
    if (!a || !ready) return;
    const std::vector<File>* files = run.tree.folder(ready->folder);
    if (!files) return;
    std::unordered_set<std::string> members, there;
    std::vector<std::string> names;
    for (const Member& m : a->members) {
        members.insert(win::fold_case(m.name));
        names.push_back(m.name + ".wav.zl");
    }
    for (const File& f : *files) there.insert(win::fold_case(f.name));
    uint64_t packed = 0, taken = 0;
    std::vector<std::string> no_wav, no_member;
    for (const File& f : *files) {
        if (!ends_with_folded(f.name, ".wav.zl")) continue;
        ++packed;
        std::string member = f.name.substr(0, f.name.size() - 7);
        if (!members.count(win::fold_case(member))) no_member.push_back(f.name);
        else if (!there.count(win::fold_case(member + ".wav"))) no_wav.push_back(f.name);
        else ++taken;
    }
    add_files(v, ready->folder, no_wav, "its NAME.wav is not beside it", "have no NAME.wav beside them",
              "updatesnd stops at the first with \"Can't create file\": put each NAME.wav beside its NAME.wav.zl, "
              "or remove the .wav.zl");
    if (no_member.size() <= 5) {
        for (const std::string& n : no_member) {
            std::string near = closest(n, names);
            v.problems.push_back({ready->folder + n,
                                  "matches no member of " + a->path + (near.empty() ? "" : " (closest: " + near + ")"),
                                  "updatesnd passes it over without a word: name it after its member, or remove it"});
        }
    } else {
        add_files(v, ready->folder, no_member, "", "match no member of " + a->path,
                  "updatesnd passes them over without a word: name each after its member, or remove it");
    }
    v.details.push_back(ready->folder + ": " + plural(packed, "NAME.wav.zl", "NAME.wav.zl files") + ", " +
                        std::to_string(taken) + " taken by updatesnd with their NAME.wav, " +
                        std::to_string(no_wav.size()) + " without their NAME.wav, " + std::to_string(no_member.size()) +
                        " matching no member; " + plural(a->members.size(), "member", "members") + " in the archive");
    v.counts = {{"members", a->members.size()},  {"packed", packed},
                {"taken", taken},                {"without_wav", no_wav.size()},
                {"no_member", no_member.size()}};
}

void videos(Run& run, StepView& v) {
    const Archive* a = archive_of(run, *v.step, Format::Vid);
    const Set* smk = first_folder(run, *v.step);
    if (!a || !smk) return;
    size_t fixed = a->members.size();
    for (const chains::Fixed& f : chains::fixed_counts())
        if (v.step->job && std::string(f.place.job) == v.step->job) fixed = f.entries;
    size_t n = std::min(fixed, a->members.size());
    std::unordered_map<std::string, const Member*> members;
    std::vector<std::string> names;
    for (size_t i = 0; i < n; ++i) {
        members.emplace(win::fold_case(a->members[i].name), &a->members[i]);
        names.push_back(a->members[i].name);
    }
    uint64_t taken = 0, same_length = 0;
    for (const File& f : smk->files) {
        auto it = members.find(win::fold_case(f.name));
        if (it == members.end()) {
            std::string near = closest(f.name, names);
            v.problems.push_back({smk->path(f),
                                  io::format("matches no member of %s (of the %zu that %s takes)", a->path.c_str(), n,
                                             v.step->job) +
                                      (near.empty() ? "" : " (closest: " + near + ")"),
                                  std::string(v.step->job) +
                                      " passes it over without a word: name it after its member, or remove it"});
            continue;
        }
        ++taken;
        same_length += f.size == it->second->size;
    }
    v.details.push_back(smk->folder + ": " + plural(smk->files.size(), "file", "files") + ", " + std::to_string(taken) +
                        " replace a member, " + std::to_string(same_length) +
                        " of the same length as their member (perhaps not translated yet)");
    v.counts = {{"members", n}, {"files", smk->files.size()}, {"replace", taken}, {"same_length", same_length}};
}

// ---------------------------------------------------------------------------
// Texts

// Tables whose content shows work left for an in-place job: unmasked line
// breaks (a line feed without its CR) for maskbreaks, masked ones ('@' after
// the first byte) for unmaskbreaks.
void masking(Run& run, StepView& v, bool unmask) {
    const Set* tables = first_folder(run, *v.step);
    if (!tables || !tables->there()) return;
    std::vector<std::string> left;
    std::vector<char> buf(1 << 16);
    for (const File& f : tables->files) {
        FILE* in = win::fopen(tables->path(f).c_str(), "rb");
        if (!in) continue;
        bool found = false, first = true;
        char last = 0;
        for (size_t got; !found && (got = io::read(in, buf.data(), buf.size())) > 0;) {
            for (size_t i = 0; i < got && !found; ++i) {
                char c = buf[i];
                found = unmask ? (c == '@' && !first) : (c == '\n' && last != '\r');
                last = c;
                first = false;
            }
        }
        std::fclose(in);
        if (found) left.push_back(f.name);
    }
    v.counts = {{"tables", tables->files.size()}, {"left", left.size()}};
    if (left.empty()) {
        v.reason += unmask ? "; no masked line break (@) is left in the " : "; none of the ";
        v.reason += plural(tables->files.size(), "table", "tables");
        v.reason += unmask ? "" : (tables->files.size() == 1 ? " holds" : " hold");
        v.reason += unmask ? "" : " a line feed without its CR now, so it has nothing to mask";
        return;
    }
    v.state = State::Ready;
    v.reason = std::to_string(left.size()) + " of the " + plural(tables->files.size(), "table", "tables") + " in " +
               tables->folder +
               (unmask ? " still hold masked line breaks (@): " : " hold line breaks inside cells (line feeds without "
                                                                  "their CR): ") +
               some(left);
}

// The texts of zund7 as importpo or collecttodo take them now: counted once
// per run, from zund7.po when there is one, else from the filled-in list.
struct Texts {
    bool looked = false;
    bool counted = false;
    bool po = false;
    std::string source;             // the PO file or the list
    std::vector<std::string> files; // per listed file, in list order
    std::vector<ready::Counts> per_file;
    ready::Counts total;
    uint32_t problems = 0;
    std::string first_problem;
    bool whole = true;
    std::vector<std::string> missing; // listed files that are not there
    std::string text_folder;
};

Texts& texts(Run& run) {
    static Texts t;
    if (t.looked) return t;
    t.looked = true;
    const about::Place* po = chains::place({"importpo", "zund7.po"});
    const about::Place* list = chains::place({"collecttodo", "!out!.txt"});
    const about::Place* todo = chains::place({"importpo", "todo.txt"});
    const about::Place* text = chains::place({"importpo", "text\\"});
    if (!po || !list || !todo || !text) return t;
    const std::string po_path = chains::absolute(*po), list_path = chains::absolute(*list);
    const std::string todo_path = chains::absolute(*todo);
    t.text_folder = chains::absolute(*text);
    auto there = [](const std::string& path) {
        win::FindData fd;
        intptr_t h = win::findfirst(path.c_str(), &fd);
        if (h != -1) win::findclose(h);
        return h != -1 && !fd.folder;
    };
    if (there(po_path)) {
        t.po = true;
        t.source = po_path;
    } else if (there(list_path)) {
        t.source = list_path;
    } else {
        return t;
    }
    if (!there(todo_path)) return t;
    t.missing = run.tree.set({"importpo", "text\\", chains::kListed}).unlisted;
    if (!t.missing.empty()) return t;
    std::string folder = t.text_folder.substr(0, t.text_folder.size() - 1);
    if (win::chdir(folder.c_str()) != 0) return t;
    FILE* td = win::fopen(todo_path.c_str(), "rt");
    FILE* in = win::fopen(t.source.c_str(), "rb");
    if (td && in) {
        ready::Problems problems(false);
        uint32_t pass = UINT32_MAX;
        size_t at = 0;
        ready::Take take = [&](const tables::Text& x, ready::Outcome o, std::string_view line, bool) {
            if (x.pass != pass) { // a new column pass or string file
                pass = x.pass;
                auto it = std::find(t.files.begin(), t.files.end(), *x.source);
                if (it == t.files.end()) {
                    t.files.push_back(*x.source);
                    t.per_file.emplace_back();
                    at = t.files.size() - 1;
                } else {
                    at = size_t(it - t.files.begin());
                }
            }
            t.per_file[at].add(o);
            t.total.add(o);
            if (o == ready::Outcome::Translated) take_characters(x, line);
        };
        if (t.po) {
            bool whole = true;
            t.counted = ready::po_texts(td, todo_path, in, t.source, problems, take, &t.total.stale, &whole);
            t.whole = whole;
        } else {
            ready::list_texts(td, todo_path, in, problems, take);
            t.counted = true;
        }
        t.problems = problems.count();
        t.first_problem = problems.first();
    }
    if (td) std::fclose(td);
    if (in) std::fclose(in);
    return t;
}

uint32_t all(const ready::Counts& c) { return c.translated + c.fuzzy + c.untranslated + c.empty; }

uint32_t percent(const ready::Counts& c) {
    uint32_t want = all(c) - c.empty;
    return want == 0 ? 100 : uint32_t(uint64_t(c.translated) * 100 / want);
}

std::string line_of(const ready::Counts& c, bool po) {
    std::string s = plural(all(c), "text", "texts") + ": " + std::to_string(c.translated) + " translated, ";
    if (po) s += std::to_string(c.fuzzy) + " fuzzy, ";
    return s + std::to_string(c.untranslated) + " untranslated, " + std::to_string(c.empty) + " empty";
}

json json_of(const ready::Counts& c, bool po) {
    return {{"texts", all(c)},
            {"translated", c.translated},
            {"fuzzy", po ? json(c.fuzzy) : json(nullptr)},
            {"untranslated", c.untranslated},
            {"empty", c.empty},
            {"percent", percent(c)}};
}

void translation(Run& run, StepView& v) {
    Texts& t = texts(run);
    if (v.step->job) { // the job that makes the ready list: would it?
        if (!t.missing.empty()) return; // told with the step's inputs
        if (t.source.empty() || !t.counted) {
            if (!t.whole) v.problems.push_back({t.source, "it cannot be read to its end", "", true});
            if (t.problems > 0)
                v.problems.push_back({t.source,
                                      std::string(v.step->job) + " would refuse it: " + t.first_problem,
                                      "mend it, then run " + std::string(v.step->job)});
            return;
        }
        if (t.problems > 0)
            v.problems.push_back({t.source,
                                  std::string(v.step->job) + " would refuse it: " +
                                      plural(t.problems, "problem", "problems") + ", the first: " + t.first_problem,
                                  "run " + std::string(v.step->job) + " to see them all, and mend them"});
        return;
    }
    if (!t.counted) return;
    // The step by hand: how much is translated.
    v.details.push_back("texts of " + name_of(t.source) + ": " + ready::summary(t.total));
    json files = json::array();
    size_t width = 0;
    for (const std::string& f : t.files) width = std::max(width, f.size());
    for (size_t i = 0; i < t.files.size(); ++i) {
        const ready::Counts& c = t.per_file[i];
        std::string line = t.files[i] + ":" + std::string(width - t.files[i].size() + 1, ' ') +
                           io::format("%3u%%", percent(c));
        if (run.terminal) {
            size_t filled = size_t(percent(c)) * 20 / 100;
            line += " [" + std::string(filled, '#') + std::string(20 - filled, '.') + "]";
        }
        line += "  " + line_of(c, t.po);
        v.details.push_back(line);
        json j = json_of(c, t.po);
        j["file"] = utf8(t.files[i]);
        files.push_back(j);
    }
    v.counts = json_of(t.total, t.po);
    v.counts["source"] = utf8(t.source);
    v.counts["stale_entries"] = t.po ? json(t.total.stale) : json(nullptr);
    v.counts["files"] = files;
    // Stale or waiting: as the files tell. Done, or the files cannot tell
    // (the numbered list is filled in where dumptodo wrote it): as the
    // texts tell.
    if (v.state != State::Done && v.state != State::Unknown) return;
    uint32_t open = t.total.untranslated + t.total.fuzzy;
    if (open == 0) {
        v.state = State::Done;
        v.reason = "every text is translated (" + std::to_string(t.total.empty) + " empty aside)";
        return;
    }
    v.state = State::Ready;
    v.reason = std::to_string(t.total.translated) + " of the " + std::to_string(all(t.total) - t.total.empty) +
               " texts translated (" + std::to_string(percent(t.total)) + "%); " +
               (t.po ? std::to_string(t.total.fuzzy) + " fuzzy and " : "") + std::to_string(t.total.untranslated) +
               " untranslated keep their own text";
}

} // namespace

void count_texts(Run& run) { texts(run); }

std::string need_of_format(const chains::Step& s, Format f) {
    for (const chains::Ref& r : s.needs) {
        const about::Place* p = chains::place(r);
        if (p && p->kind == about::Kind::File && format_of(p->path) == f) return chains::absolute(*p);
    }
    return "";
}

const Set* first_folder(Run& run, const chains::Step& s) {
    for (const chains::Ref& r : s.needs) {
        const about::Place* p = chains::place(r);
        if (p && p->kind != about::Kind::File) return &run.tree.set(r);
    }
    return nullptr;
}

void check(Run& run, chains::Check c, StepView& v) {
    switch (c) {
    case chains::Check::RusNames: rus_names(run, v); break;
    case chains::Check::PakPatched: pak_patched(run, v); break;
    case chains::Check::ReadyEntries: ready_entries(run, v); break;
    case chains::Check::AllEntries: all_entries(run, v); break;
    case chains::Check::MergedPayloads: merged_payloads(run, v); break;
    case chains::Check::Sounds: sounds(run, v); break;
    case chains::Check::Videos: videos(run, v); break;
    case chains::Check::Masking: masking(run, v, false); break;
    case chains::Check::Unmasking: masking(run, v, true); break;
    case chains::Check::Translation: translation(run, v); break;
    case chains::Check::Glyphs: glyphs(run, v); break;
    }
}

std::string closest(const std::string& name, const std::vector<std::string>& names) {
    const std::string a = win::fold_case(name);
    std::string best;
    size_t best_d = SIZE_MAX;
    std::vector<size_t> row;
    for (const std::string& candidate : names) {
        const std::string b = win::fold_case(candidate);
        if (a.size() > b.size() + 3 || b.size() > a.size() + 3) continue;
        row.assign(b.size() + 1, 0);
        for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
        for (size_t i = 1; i <= a.size(); ++i) {
            size_t diag = row[0];
            row[0] = i;
            for (size_t j = 1; j <= b.size(); ++j) {
                size_t up = row[j];
                row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
                diag = up;
            }
        }
        if (row[b.size()] < best_d) {
            best_d = row[b.size()];
            best = candidate;
        }
    }
    // Near: a few letters off, and less than a third of the name.
    return best_d <= 3 && best_d * 3 < std::max<size_t>(a.size(), 1) ? best : "";
}

std::string some(const std::vector<std::string>& names, size_t shown) {
    std::string s;
    for (size_t i = 0; i < names.size() && i < shown; ++i) s += (i ? ", " : "") + names[i];
    if (names.size() > shown) s += io::format(" and %zu more", names.size() - shown);
    return s;
}

} // namespace status
