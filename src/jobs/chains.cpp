// The chains of the workflows (see chains.hpp): the data, and what is made
// of it without looking at a game tree.
#include "jobs/chains.hpp"

#include "platform/win.hpp"

#include <algorithm>
#include <cstdio>
#include <map>

namespace chains {

namespace {

// Files of a folder that the merge and pack jobs leave alone beside the ones
// they take: packed files and palettes.
const char* const kEdited = "*|!*.zl|!*.act";

// The steps that two chains share.
Step update_icons() {
    return {.job = "updatelod_icons",
            .needs = {{"updatelod_icons", "icons1.lod"}, {"updatelod_icons", "icons_ready\\", "*.zl"}},
            .makes = {{"updatelod_icons", "icons.lod"}},
            .checks = {Check::ReadyEntries}};
}

Pair packed(const char* search, const char* folder) {
    return {{"packpayloads", search, kEdited}, {"packpayloads", folder}, "", ".zl", true};
}

Pair unpacked(const char* search, const char* folder) {
    return {{"unpackpayloads", search}, {"unpackpayloads", folder}, ".zl", ""};
}

std::vector<Chain> make_chains() {
    using about::Workflow;
    std::vector<Chain> c;

    c.push_back({Workflow::Pak,
                 {
                     {.job = "extractpak",
                      .needs = {{"extractpak", "main\\pak0.pak"}},
                      .makes = {{"extractpak", "xfiles\\pak\\"}}},
                     // The game's text data, text.bin (taken from among the members), as a
                     // list for translators, written back translated.
                     {.job = "dumptextbin", .flags = Optional},
                     {.hand = "write each translation in place of its placeholder line in text.txt",
                      .needs = {{"dumptextbin", "text.txt"}},
                      .makes = {{"applytextbin", "text.txt"}},
                      .flags = Optional},
                     {.job = "applytextbin",
                      .needs = {{"applytextbin", "xfiles\\text.bin"}, {"applytextbin", "text.txt", nullptr, true}},
                      .flags = Optional},
                     {.hand = "translate the members that hold text (or replace sounds, images) and put the new files, "
                              "under their flat member names, into rus (text_!\\text.bin under the flat name of its member)",
                      .needs = {{"extractpak", "xfiles\\pak\\"}},
                      .makes = {{"patchpak", "rus\\"}}},
                     {.job = "patchpak",
                      .needs = {{"patchpak", "main\\pak0.pak"}, {"patchpak", "rus\\"}},
                      .makes = {{"patchpak", "main\\pak0.pak"}},
                      .checks = {Check::RusNames, Check::PakPatched}},
                 }});

    // Merged entry files: named after their icons entry file, NNNN_name.zl,
    // or after the payload (ready str, menu).
    const std::vector<Ref> merged = {{"headfirst_ready", "ready\\", "????_*.zl"},
                                     {"headfirst_texts", "texts\\", "????_*.zl"},
                                     {"headfirst_readystr", "ready str\\", "*.zl"},
                                     {"headfirst_menu", "menu\\", "*.zl"},
                                     {"packpayloads", "text_!_events\\", "????_*.zl"}};
    c.push_back({Workflow::Lod,
                 {
                     {.job = "extractlod_icons",
                      .needs = {{"extractlod_icons", "icons1.lod"}},
                      .makes = {{"extractlod_icons", "icons_all\\", "*.zl"}}},
                     {.job = "extractlod_strs",
                      .needs = {{"extractlod_strs", "icons.lod"}},
                      .makes = {{"extractlod_strs", "icons_txt_str\\", "*.zl"}},
                      .flags = Optional},
                     {.job = "headlast_strs",
                      .needs = {{"headlast_strs", "icons\\*.str.zl"}},
                      .pairs = {{{"headlast_strs", "icons\\*.str.zl"}, {"headlast_strs", "strs\\"}}},
                      .flags = Optional},
                     {.job = "headlast_icons1", .needs = {{"headlast_icons1", "icons1\\*.zl"}}, .flags = Optional | InPlace},
                     {.job = "headlast_menu", .needs = {{"headlast_menu", "menu\\*.zl"}}, .flags = Optional | InPlace},
                     {.job = "unpackpayloads",
                      .needs = {{"unpackpayloads", "icons_all\\*.zl"},
                                {"unpackpayloads", "icons_txt_str\\*.zl"},
                                {"unpackpayloads", "strs\\*.zl"},
                                {"unpackpayloads", "icons1\\*.zl"},
                                {"unpackpayloads", "menu\\*.zl"}},
                      .pairs = {unpacked("icons_all\\*.zl", "icons_all\\"),
                                unpacked("icons_txt_str\\*.zl", "icons_txt_str\\"), unpacked("strs\\*.zl", "strs\\"),
                                unpacked("icons1\\*.zl", "icons1\\"), unpacked("menu\\*.zl", "menu\\")},
                      .flags = AnyNeed | NoTimes},
                     {.hand = "edit or translate the unpacked payloads outside and put each where it is packed again: "
                              "zundfiles\\ready, texts, ready str or menu\\ready (a menu image with its palette X.act "
                              "beside it), or, an event text, into text_!_events under its entry file's name "
                              "without .zl",
                      .needs = {{"unpackpayloads", "icons_all\\", "*|!*.zl"},
                                {"unpackpayloads", "icons_txt_str\\", "*|!*.zl"},
                                {"unpackpayloads", "strs\\", "*|!*.zl"},
                                {"unpackpayloads", "icons1\\", "*|!*.zl"},
                                {"unpackpayloads", "menu\\", kEdited}},
                      .makes = {{"packpayloads", "zundfiles\\ready\\*", kEdited},
                                {"packpayloads", "texts\\*", kEdited},
                                {"packpayloads", "ready str\\*", kEdited},
                                {"packpayloads", "menu\\ready\\*", kEdited},
                                {"packpayloads", "text_!_events\\*.txt"},
                                {"packpayloads", "text_!_events\\*.str"}},
                      .flags = AnyNeed | AnyMake},
                     {.job = "packpayloads",
                      .needs = {{"packpayloads", "zundfiles\\ready\\*", kEdited},
                                {"packpayloads", "texts\\*", kEdited},
                                {"packpayloads", "ready str\\*", kEdited},
                                {"packpayloads", "menu\\ready\\*", kEdited},
                                {"packpayloads", "text_!_events\\*.txt"},
                                {"packpayloads", "text_!_events\\*.str"}},
                      .pairs = {packed("zundfiles\\ready\\*", "zundfiles\\ready\\"), packed("texts\\*", "texts\\"),
                                packed("ready str\\*", "ready str\\"), packed("menu\\ready\\*", "menu\\ready\\"),
                                packed("text_!_events\\*.txt", "text_!_events\\"),
                                packed("text_!_events\\*.str", "text_!_events\\")},
                      .flags = AnyNeed},
                     {.job = "headfirst_ready",
                      .needs = {{"headfirst_ready", "ready\\*.zl"}},
                      .makes = {{"headfirst_ready", "ready\\", "*.zl"}},
                      .checks = {Check::MergedPayloads},
                      .flags = Optional},
                     {.job = "headfirst_texts",
                      .needs = {{"headfirst_texts", "texts\\*.zl"}},
                      .makes = {{"headfirst_texts", "texts\\", "*.zl"}},
                      .checks = {Check::MergedPayloads},
                      .flags = Optional},
                     {.job = "headfirst_readystr",
                      .needs = {{"headfirst_readystr", "ready str\\*.zl"}},
                      .makes = {{"headfirst_readystr", "ready str\\", "*.zl"}},
                      .checks = {Check::MergedPayloads},
                      .flags = Optional | InPlace},
                     {.job = "headfirst_menu",
                      .needs = {{"headfirst_menu", "menu\\ready\\*.zl"}},
                      .makes = {{"headfirst_menu", "menu\\", "*.zl"}},
                      .checks = {Check::MergedPayloads},
                      .flags = Optional},
                     {.job = "headfirst_events",
                      .needs = {{"headfirst_events", "events1.lod"},
                                {"headfirst_events", "text_!_events\\*.txt"},
                                {"headfirst_events", "text_!_events\\*.str"}},
                      .makes = {{"packpayloads", "text_!_events\\", "*.zl"}},
                      .flags = Optional | InPlace | AnyNeed | AnyMake},
                     {.hand = "put the merged entry files into icons_ready (the zund7 icons) or events_ready (the "
                              "zund7 events), or copy them into zundfiles\\icons, each in the old file's place (the "
                              "Starhold VI icons)",
                      .needs = merged,
                      .makes = {{"updatelod_icons", "icons_ready\\", "*.zl"},
                                {"updatelod_events", "events_ready\\", "*.zl"}},
                      .pairs = {{{"headfirst_ready", "ready\\", "????_*.zl"}, {"rebuildlod_ordered", "icons\\"}},
                                {{"headfirst_texts", "texts\\", "????_*.zl"}, {"rebuildlod_ordered", "icons\\"}}},
                      .flags = Optional | AnyNeed | AnyMake},
                     update_icons(),
                     {.job = "updatelod_events",
                      .needs = {{"updatelod_events", "events1.lod"}, {"updatelod_events", "events_ready\\", "*.zl"}},
                      .makes = {{"updatelod_events", "events.lod"}},
                      .checks = {Check::ReadyEntries},
                      .flags = Optional},
                     {.job = "rebuildlod_ordered",
                      .needs = {{"rebuildlod_ordered", "icons1.lod"}, {"rebuildlod_ordered", "icons\\", "*.zl"}},
                      .makes = {{"rebuildlod_ordered", "icons.lod"}},
                      .checks = {Check::AllEntries},
                      .flags = Optional},
                 }});

    c.push_back({Workflow::Bitmaps,
                 {
                     {.job = "extracttgas",
                      .needs = {{"extracttgas", "icons.lod"}, {"extracttgas", "icons_all\\", "*|!*.zl"}},
                      .makes = {{"extracttgas", "icons_tga\\", "*.tga"}}},
                     {.hand = "edit the images in an image editor, keeping their 256-colour palette, and put them into "
                              "readytga, each name beginning with its entry's four-digit index",
                      .needs = {{"extracttgas", "icons_tga\\", "*.tga"}},
                      .makes = {{"readtgas", "readytga\\*.tga"}}},
                     {.job = "readtgas",
                      .needs = {{"readtgas", "icons1.lod"}, {"readtgas", "readytga\\*.tga"}},
                      .makes = {{"readtgas", "readytga\\", "*.pl"}, {"readtgas", "pack\\"}}},
                     {.job = "packpayloads",
                      .needs = {{"packpayloads", "readytga\\pack\\*"}},
                      .pairs = {{{"packpayloads", "readytga\\pack\\*"}, {"packpayloads", "readytga\\"}, "", ".zl", true}}},
                     {.job = "comptgas",
                      .needs = {{"comptgas", "readytga\\*.pl"}},
                      .pairs = {{{"comptgas", "readytga\\", "*.zl"}, {"comptgas", "icons_ready\\"}, "", "", true}}},
                     update_icons(),
                 }});

    c.push_back({Workflow::Fonts,
                 {
                     {.job = "extractfonts",
                      .needs = {{"extractfonts", "calig.fn1"}, {"extractfonts", "zundfiles\\*.fnt", nullptr, false, true}},
                      .makes = {{"extractfonts", "calig\\", "*.tif"}},
                      .checks = {Check::Glyphs}},
                     {.job = "stripeglyphs",
                      .needs = {{"stripeglyphs", "abc.tif"}},
                      .makes = {{"stripeglyphs", "a_b_c_.tif"}},
                      .flags = Optional},
                     {.hand = "redraw the glyphs in an image editor, moving the stripes so that each glyph gets its "
                              "width, and save the strip as hexfiles\\fonts\\comic.fnt.tif",
                      .needs = {{"extractfonts", "calig\\", "*.tif"}},
                      .makes = {{"buildfont", "comic.fnt.tif"}}},
                     {.job = "buildfont",
                      .needs = {{"buildfont", "zundfiles\\comic.fnt"}, {"buildfont", "comic.fnt.tif"}},
                      .makes = {{"buildfont", "fonts\\comic.fnt"}},
                      .checks = {Check::Glyphs}},
                 }});

    c.push_back({Workflow::SoundVideo,
                 {
                     {.job = "extractsnd",
                      .needs = {{"extractsnd", "Audio1.snd"}},
                      .makes = {{"extractsnd", "sound_ready\\", "*.wav.zl"}}},
                     {.hand = "unpack the sounds to translate, record or edit them, and leave in sound_ready only their "
                              "new NAME.wav and packed NAME.wav.zl",
                      .needs = {{"extractsnd", "sound_ready\\", "*.wav.zl"}},
                      .makes = {{"updatesnd", "sound_ready\\", "*.wav"}}},
                     {.job = "updatesnd",
                      .needs = {{"updatesnd", "Audio1.snd"},
                                {"updatesnd", "sound_ready\\", "*.wav.zl"},
                                {"updatesnd", "sound_ready\\", "*.wav"}},
                      .makes = {{"updatesnd", "Audio.snd"}},
                      .checks = {Check::Sounds}},
                     {.job = "extractvid",
                      .needs = {{"extractvid", "Velor7.vid"}},
                      .makes = {{"extractvid", "smk\\"}}},
                     {.hand = "translate the videos and leave in smk only the translated ones, under their names",
                      .needs = {{"extractvid", "smk\\"}},
                      .makes = {{"mixsmk", "smk\\"}}},
                     {.job = "mixsmk",
                      .needs = {{"mixsmk", "d:\\Anims\\Velor7.vid"}, {"mixsmk", "smk\\"}},
                      .makes = {{"mixsmk", "zund7\\Anims\\Velor7.vid"}},
                      .checks = {Check::Videos}},
                 }});

    c.push_back({Workflow::Texts,
                 {
                     {.job = "maskbreaks",
                      .needs = {{"maskbreaks", "text\\*.txt"}},
                      .checks = {Check::Masking},
                      .flags = InPlace},
                     {.job = "exportpo",
                      .needs = {{"exportpo", "todo.txt"}, {"exportpo", "text\\", kListed}},
                      .makes = {{"exportpo", "zund7.pot"}},
                      .route = "po"},
                     {.hand = "make zund7.po of the template (msginit -l ru -i zund7.pot -o zund7.po, or a "
                              "translation tool) and translate it; msgmerge brings it up to a newer template",
                      .needs = {{"exportpo", "zund7.pot"}},
                      .makes = {{"importpo", "zund7.po"}},
                      .checks = {Check::Translation},
                      .flags = Times,
                      .route = "po"},
                     {.job = "importpo",
                      .needs = {{"importpo", "todo.txt", nullptr, true},
                                {"importpo", "zund7.po", nullptr, true},
                                {"importpo", "text\\", kListed, true}},
                      .makes = {{"importpo", "zund7_ready_rus_str.txt"}},
                      .checks = {Check::Translation},
                      .route = "po"},
                     {.job = "dumptodo",
                      .needs = {{"dumptodo", "todo.txt"}, {"dumptodo", "text\\", kListed}},
                      .makes = {{"dumptodo", "!out!.txt"}},
                      .flags = NoTimes,
                      .route = "list"},
                     {.hand = "write each translation in place of its placeholder line in !out!.txt",
                      .needs = {{"dumptodo", "!out!.txt"}},
                      .makes = {{"collecttodo", "!out!.txt"}},
                      .checks = {Check::Translation},
                      .route = "list"},
                     {.job = "collecttodo",
                      .needs = {{"collecttodo", "todo.txt", nullptr, true},
                                {"collecttodo", "!out!.txt", nullptr, true},
                                {"collecttodo", "text\\", kListed, true}},
                      .makes = {{"collecttodo", "zund7_ready_rus_str.txt"}},
                      .checks = {Check::Translation},
                      .route = "list"},
                     {.job = "applytodo_ready",
                      .needs = {{"applytodo_ready", "todo.txt"},
                                {"applytodo_ready", "zund7_ready_rus_str.txt", nullptr, true},
                                {"applytodo_ready", "text\\", kListed}},
                      .makes = {{"applytodo_ready", "text_!\\", kListed}}},
                     {.job = "unmaskbreaks",
                      .needs = {{"unmaskbreaks", "text_!\\*.txt"}},
                      .checks = {Check::Unmasking},
                      .flags = InPlace},
                 }});
    return c;
}

bool ends_with(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// Leading "..\" components: how far up from the folder it runs in a
// relative path starts.
size_t ups(const std::string& path, std::string* rest) {
    size_t n = 0;
    std::string r = path;
    while (r.compare(0, 3, "..\\") == 0) {
        r.erase(0, 3);
        ++n;
    }
    *rest = r;
    return n;
}

bool relative(const std::string& path) { return !(path.size() >= 2 && path[1] == ':'); }

// The folder that a relative place of `j` is taken from, found through a
// place of another job that ends as the relative one does once its "..\"
// are gone; and the number of "..\" that lead there.
bool anchor(const about::Job& j, std::string* base) {
    for (const about::Place& p : j.places) {
        std::string rest;
        if (!relative(p.path) || ups(p.path, &rest) == 0) continue;
        for (const about::Job* other : about::jobs()) {
            if (other == &j) continue;
            for (const about::Place& q : other->places) {
                std::string path = q.path;
                if (relative(path) || !ends_with(win::fold_case(path), win::fold_case("\\" + rest))) continue;
                *base = path.substr(0, path.size() - rest.size());
                return true;
            }
        }
    }
    return false;
}

const about::Job* owner(const about::Place& p) {
    for (const about::Job* j : about::jobs())
        if (&p >= j->places.data() && &p < j->places.data() + j->places.size()) return j;
    return nullptr;
}

// Text for a Graphviz label: backslashes and quotes escaped, long lines
// broken at blanks.
std::string label(const std::string& s, size_t width) {
    std::string out;
    size_t col = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == ' ' && col >= width) {
            out += "\\n";
            col = 0;
            continue;
        }
        if (c == '\\' || c == '"') out += '\\';
        out += c;
        ++col;
    }
    return out;
}

} // namespace

std::string Step::name() const { return job ? job : "by hand"; }

// A job step that names none of what it needs (or makes) takes its job's
// places: every place it reads (every place it only writes, unless it
// rewrites its files in place or pairs them up).
void fill_in(std::vector<Chain>& chains) {
    for (Chain& c : chains)
        for (Step& s : c.steps) {
            const about::Job* j = s.job ? about::find(s.job) : nullptr;
            if (!j) continue;
            bool needs = s.needs.empty(), makes = s.makes.empty() && s.pairs.empty() && !(s.flags & InPlace);
            for (const about::Place& p : j->places) {
                if (needs && (p.use & about::Reads)) s.needs.push_back({s.job, p.path});
                if (makes && p.use == about::Writes) s.makes.push_back({s.job, p.path});
            }
        }
}

const std::vector<Chain>& chains() {
    static const std::vector<Chain> c = [] {
        std::vector<Chain> made = make_chains();
        fill_in(made);
        return made;
    }();
    return c;
}

const std::vector<Fixed>& fixed_counts() {
    static const std::vector<Fixed> a = {
        {{"updatelod_icons", "icons1.lod"}, 4241},    {{"updatelod_icons", "icons.lod"}, 4241},
        {{"updatelod_events", "events1.lod"}, 198},   {{"updatelod_events", "events.lod"}, 198},
        {{"rebuildlod_ordered", "icons1.lod"}, 2703}, {{"rebuildlod_ordered", "icons.lod"}, 2703},
        {{"extractlod_strs", "icons.lod"}, 0},      {{"mixsmk", "d:\\Anims\\Velor7.vid"}, 14},
    };
    return a;
}

const about::Place* place(const Ref& r) {
    const about::Job* j = about::find(r.job);
    if (!j) return nullptr;
    const about::Place* found = nullptr;
    for (const about::Place& p : j->places) {
        if (!ends_with(p.path, r.end)) continue;
        if (found) return nullptr;
        found = &p;
    }
    return found;
}

std::string absolute(const about::Place& p) {
    std::string rest;
    const about::Job* j = owner(p);
    std::string base;
    if (!relative(p.path) || !j || !anchor(*j, &base)) return p.path;
    ups(p.path, &rest);
    return base + rest;
}

std::string home(const about::Job& j) {
    std::string base;
    if (!anchor(j, &base)) return "";
    if (base.size() > 3 && base.back() == '\\') base.pop_back();
    return base;
}

std::string dot(const Chain& c) {
    const about::WorkflowInfo* info = nullptr;
    for (const about::WorkflowInfo& w : about::workflows())
        if (w.id == c.workflow) info = &w;
    std::string out = "digraph \"" + std::string(info ? info->key : "chain") + "\" {\n";
    out += "  graph [rankdir=LR, fontname=\"Helvetica\", fontsize=12, nodesep=0.25, ranksep=0.4, label=\"" +
           label(info ? info->title : "", 200) + "\", labelloc=t];\n";
    out += "  node [fontname=\"Helvetica\", fontsize=10];\n  edge [color=\"#555555\"];\n";
    // One node per place (its absolute path and the names that count), in
    // the order first met.
    std::map<std::string, std::string> ids;
    std::string nodes, edges;
    auto place_node = [&](const Ref& r) {
        const about::Place* p = place(r);
        std::string path = p ? absolute(*p) : std::string(r.job) + ": " + r.end;
        std::string names = r.names ? r.names : (p && p->kind == about::Kind::Folder && p->names ? p->names : "");
        if (names == kListed) names = "NAME (as todo.txt lists)";
        std::string shown = path;
        if (!names.empty()) {
            std::string first = names.substr(0, names.find('|'));
            if (p && p->kind == about::Kind::Search) shown += names == "*" || first == "*" ? "" : " (" + first + ")";
            else shown += first;
        }
        std::string key = win::fold_case(shown);
        auto it = ids.find(key);
        if (it != ids.end()) return it->second;
        std::string id = "p" + std::to_string(ids.size());
        ids.emplace(key, id);
        bool folder = p && p->kind != about::Kind::File;
        nodes += "  " + id + " [label=\"" + label(shown, 40) + "\", shape=" + (folder ? "folder" : "note") +
                 ", style=filled, fillcolor=\"#f4f4f4\", color=\"#999999\"];\n";
        return id;
    };
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const Step& s = c.steps[i];
        std::string id = "s" + std::to_string(i);
        bool hand = !s.job;
        std::string text = hand ? "by hand: " + std::string(s.hand) : s.job;
        if (s.flags & Optional) text += " (when used)";
        if (s.route) text += std::string(" [") + (std::string(s.route) == "po" ? "PO file" : "numbered list") + "]";
        nodes += "  " + id + " [label=\"" + label(text, hand ? 34 : 60) + "\", shape=box, style=\"" +
                 (hand ? "rounded,dashed" : "rounded,filled,bold") + "\", fillcolor=\"#dde8f6\"];\n";
        const char* style = hand ? " [style=dashed]" : "";
        for (const Ref& r : s.needs) edges += "  " + place_node(r) + " -> " + id + style + ";\n";
        for (const Pair& p : s.pairs) edges += "  " + place_node(p.from) + " -> " + id + style + ";\n";
        for (const Ref& r : s.makes) edges += "  " + id + " -> " + place_node(r) + style + ";\n";
        if (s.flags & InPlace) // what it rewrites in place
            for (const Ref& r : s.needs)
                if (place(r) && (place(r)->use & about::Writes)) edges += "  " + id + " -> " + place_node(r) + ";\n";
        for (const Pair& p : s.pairs) edges += "  " + id + " -> " + place_node(p.to) + style + ";\n";
        if (i > 0) edges += "  s" + std::to_string(i - 1) + " -> " + id + " [style=invis, weight=4];\n";
    }
    return out + nodes + edges + "}\n";
}

std::string stamp(const std::string& source) {
    uint64_t h = 14695981039346656037ull; // FNV-1a, 64 bits
    for (unsigned char c : source) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    return std::string("drawn from the source of hash fnv1a64 ") + hex; // (no hyphen: Graphviz would escape it)
}

} // namespace chains
