// `locbench status`: the chains walked over the game tree, each step judged
// by what is there and when it was written, then the checks of each step;
// shown as text or as one JSON document.
#include "status/status.hpp"

#include "platform/io.hpp"
#include "platform/win.hpp"
#include "status/engine.hpp"

#include <algorithm>
#include <functional>
#include <cstdio>
#include <new>
#include <set>
#include <unordered_set>

#ifndef LOCBENCH_VERSION
#define LOCBENCH_VERSION "unknown"
#endif

namespace status {

using nlohmann::json;

const char* word(State s) {
    switch (s) {
    case State::Done: return "done";
    case State::Stale: return "stale";
    case State::Ready: return "ready";
    case State::Waiting: return "waiting";
    case State::Problem: return "problem";
    case State::Unknown: return "unknown";
    case State::Unused: return "unused";
    }
    return "";
}

std::string Problem::line() const {
    std::string s = damaged ? "Damaged file " + path + ": " + what : path + ": " + what;
    return todo.empty() ? s : s + "; " + todo;
}

namespace {

std::string utf8(const std::string& s) { return win::to_utf8(s); }

const char* info_key(const chains::Chain& c) {
    for (const about::WorkflowInfo& i : about::workflows())
        if (i.id == c.workflow) return i.key;
    return "";
}

} // namespace

std::string place_key(const chains::Ref& r) {
    const about::Place* p = chains::place(r);
    if (!p) return "";
    std::string path = chains::absolute(*p);
    if (p->kind == about::Kind::Search) path = folder_of(path);
    return win::fold_case(path);
}

namespace {

std::string key_of(const chains::Ref& r) { return place_key(r); }

bool made_by(const chains::Step& s, const std::string& key) {
    for (const chains::Ref& m : s.makes)
        if (key_of(m) == key) return true;
    for (const chains::Pair& p : s.pairs)
        if (key_of(p.to) == key) return true;
    return false;
}

} // namespace

std::string step_title(const chains::Step& s) { return s.job ? s.job : "by hand: " + std::string(s.hand); }

namespace {

// Who makes what a step needs: the latest step before it in the chain, else
// a step of another chain; "" for none (a file of the game, or of the team).
// What a later step of the chain rewrites (the game archive that patchpak
// replaces) is the game's own file to the steps before it.
std::string maker(const chains::Chain& c, size_t index, const chains::Ref& need) {
    std::string key = key_of(need);
    for (size_t i = index; i-- > 0;)
        if (made_by(c.steps[i], key)) return c.steps[i].job ? c.steps[i].job : "the step by hand before it";
    for (size_t i = index + 1; i < c.steps.size(); ++i)
        if (made_by(c.steps[i], key)) return "";
    for (const chains::Chain& other : chains::chains()) {
        if (&other == &c) continue;
        for (const chains::Step& s : other.steps)
            if (s.job && made_by(s, key)) return s.job;
    }
    return "";
}

std::string missing_reason(const chains::Chain& c, size_t index, const chains::Ref& need, const Set& set) {
    std::string who = maker(c, index, need);
    std::string s = set.single ? set.shown + " is not there" : set.shown + " holds no file";
    if (!set.single && !set.folder_there) s = set.folder + " is not there";
    if (!who.empty()) return s + " yet; " + who + " makes it";
    return s + (set.place && set.place->use == about::Reads ? std::string(" (") + set.place->what + ")" : "");
}

std::string holds(const Set& s) {
    if (s.single) return s.shown + " is there";
    return s.shown + " holds " + plural(s.files.size(), "file", "files");
}

// The route in use in a chain: that of its first step by hand on a route
// whose outputs are there.
const char* route_in_use(Run& run, const chains::Chain& c) {
    for (const chains::Step& s : c.steps) {
        if (!s.route || s.job) continue;
        bool made = !s.makes.empty();
        for (const chains::Ref& r : s.makes) made = made && run.tree.set(r).there();
        if (made) return s.route;
    }
    return nullptr;
}

std::string route_name(const char* route) {
    return std::string(route) == "po" ? "the PO file" : "the numbered list";
}

// The files of later steps' outputs: an input that a later step rewrites
// (the game archive patchpak replaces) tells nothing of this step by its time.
std::unordered_set<std::string> written_later(Run& run, const chains::Chain& c, size_t index) {
    std::unordered_set<std::string> out;
    for (size_t i = index + 1; i < c.steps.size(); ++i) {
        auto add = [&](const chains::Ref& r) {
            const Set& s = run.tree.set(r);
            if (s.single && s.place) out.insert(win::fold_case(chains::absolute(*s.place)));
            for (const File& f : s.files) out.insert(win::fold_case(s.path(f)));
        };
        for (const chains::Ref& r : c.steps[i].makes) add(r);
        for (const chains::Pair& p : c.steps[i].pairs) add(p.to);
    }
    return out;
}

std::string out_name(const std::string& name, const chains::Pair& p) {
    std::string drop = p.drop;
    std::string base = name;
    if (!drop.empty()) base = name.substr(0, name.size() - drop.size());
    return base + p.add;
}

// Whether a file of a pair's inputs has the file it makes.
bool paired(Run& run, const chains::Step& s) {
    for (const chains::Pair& p : s.pairs) {
        const Set& from = run.tree.set(p.from);
        const Set& to = run.tree.set(p.to);
        for (const File& f : from.files)
            if (to.find(out_name(f.name, p))) return true;
    }
    return false;
}

// Inputs that a later step rewrites tell nothing by their time (see
// written_later).
void judge_pairs(Run& run, const chains::Step& s, StepView& v, const std::unordered_set<std::string>& skip) {
    uint64_t total = 0;
    std::vector<std::string> missing;
    const File* stale_in = nullptr;
    std::string stale_text;
    nlohmann::json folders = nlohmann::json::array();
    for (const chains::Pair& p : s.pairs) {
        const Set& from = run.tree.set(p.from);
        const Set& to = run.tree.set(p.to);
        const uint64_t before = total, missing_before = missing.size();
        for (const File& f : from.files) {
            std::string drop = p.drop;
            if (!drop.empty() && (f.name.size() <= drop.size() ||
                                  win::fold_case(f.name.substr(f.name.size() - drop.size())) != win::fold_case(drop)))
                continue;
            ++total;
            std::string want = out_name(f.name, p);
            const File* o = to.find(want);
            if (!o) {
                missing.push_back(from.path(f));
                continue;
            }
            if ((s.flags & chains::NoTimes) || run.by_content || f.modified <= o->modified ||
                skip.count(win::fold_case(from.path(f))))
                continue;
            std::string text = from.path(f) + " is newer than " + to.path(*o);
            if (p.silent && s.job)
                v.problems.push_back({from.path(f),
                                      "newer than " + to.path(*o) + ", which was made of it: the steps after take the "
                                      "old one without a word",
                                      "run " + std::string(s.job) + " again"});
            if (!stale_in) {
                stale_in = &f;
                stale_text = text;
            }
        }
        // Per folder: the files it holds, and how many have their output.
        if (total > before) {
            uint64_t files = total - before, done = files - (missing.size() - missing_before);
            v.details.push_back(from.shown + ": " + plural(files, "file", "files") + ", " + std::to_string(done) +
                                " with " + (files == 1 ? "its" : "their") + " file in " + to.folder);
            folders.push_back({{"folder", utf8(from.shown)}, {"files", files}, {"done", done}});
        }
    }
    if (!folders.empty()) v.counts = {{"folders", folders}};
    if (total == 0) {
        v.state = State::Waiting;
        v.reason = "none of its inputs is there yet";
    } else if (!missing.empty()) {
        v.state = State::Ready;
        v.reason = std::to_string(missing.size()) + " of its " + plural(total, "input", "inputs") + " not done yet (" +
                   some(missing, 2) + ")";
    } else if (stale_in) {
        v.state = State::Stale;
        v.reason = stale_text + (s.job ? ": run " + std::string(s.job) + " again" : "");
    } else {
        v.state = State::Done;
        v.reason = "each of its " + plural(total, "input", "inputs") + " has its output" +
                   ((s.flags & chains::NoTimes) || run.by_content ? "" : ", newer than it");
    }
}

} // namespace

StepFiles step_files(Run& run, const chains::Chain& c, size_t index) {
    const chains::Step& s = c.steps[index];
    StepFiles out;
    std::unordered_set<std::string> later, seen_in, seen_out;
    auto each = [&](const chains::Ref& r, const std::function<void(const std::string&, const File&)>& f) {
        const Set& set = run.tree.set(r);
        for (const File& x : set.files) f(set.path(x), x);
    };
    // What later job steps write or rewrite in place.
    for (size_t i = index + 1; i < c.steps.size(); ++i) {
        const chains::Step& l = c.steps[i];
        if (!l.job) continue;
        auto add = [&](const std::string& path, const File&) { later.insert(win::fold_case(path)); };
        for (const chains::Ref& r : l.makes) each(r, add);
        for (const chains::Pair& p : l.pairs) each(p.to, add);
        if (l.flags & chains::InPlace)
            for (const chains::Ref& r : l.needs) each(r, add);
    }
    // What it makes by name is its output, even where it also reads it.
    std::unordered_set<std::string> made;
    for (const chains::Ref& r : s.makes)
        each(r, [&](const std::string& path, const File&) { made.insert(win::fold_case(path)); });
    auto take_in = [&](const std::string& path, const File& f) {
        std::string k = win::fold_case(path);
        if (made.count(k) && !(s.flags & chains::InPlace)) return;
        if (later.count(k)) {
            return;
        }
        if (seen_in.insert(k).second) out.ins.push_back({path, f.size, f.modified, 0});
    };
    auto take_out = [&](const std::string& path, const File& f) {
        std::string k = win::fold_case(path);
        if (seen_in.count(k) || !seen_out.insert(k).second) return;
        out.outs.push_back({path, f.size, f.modified, 0});
    };
    out.later.assign(later.begin(), later.end());
    for (const chains::Ref& r : s.needs) each(r, take_in);
    for (const chains::Pair& p : s.pairs) each(p.from, take_in);
    if (s.flags & chains::InPlace) {
        for (const chains::Ref& r : s.needs) each(r, [&](const std::string& path, const File& f) {
            std::string k = win::fold_case(path);
            if (seen_out.insert(k).second) out.outs.push_back({path, f.size, f.modified, 0});
        });
    }
    for (const chains::Ref& r : s.makes) each(r, take_out);
    for (const chains::Pair& p : s.pairs) each(p.to, take_out);
    return out;
}

namespace {

// Whether the journal has a record of the step: then `*changed` tells the
// first input whose content is not what the step took ("" when none).
bool by_journal(Run& run, const chains::Chain& c, size_t index, std::string* changed) {
    const chains::Step& s = c.steps[index];
    const std::string key = info_key(c);
    if (!run.journal || !s.job) return false;
    changed->clear();
    if (run.journal->running(key, s.job)) { // its outputs may be those of a run cut short
        *changed = "it did not end when make last ran it";
        return true;
    }
    const journal::Record* rec = run.journal->find(key, s.job);
    if (!rec) return false;
    StepFiles now = step_files(run, c, index);
    std::unordered_map<std::string, const journal::Entry*> then;
    for (const journal::Entry& e : rec->ins) then.emplace(win::fold_case(e.path), &e);
    std::unordered_set<std::string> later(now.later.begin(), now.later.end());
    for (const journal::Entry& e : now.ins) {
        auto it = then.find(win::fold_case(e.path));
        if (it == then.end()) {
            *changed = e.path + " is new since it ran";
            return true;
        }
        if (!run.journal->same(*it->second, e.size, e.modified)) {
            *changed = e.path + " changed since it ran";
            return true;
        }
        then.erase(it);
    }
    for (const auto& [k, e] : then)
        if (!later.count(k)) {
            *changed = e->path + " is gone since it ran";
            return true;
        }
    return true;
}

StepView judge(Run& run, const chains::Chain& c, size_t index) {
    const chains::Step& s = c.steps[index];
    StepView v;
    v.step = &s;
    // A job step that make ran is judged by the content of its inputs.
    std::string changed;
    run.by_content = s.job && by_journal(run, c, index, &changed);
    v.by_content = run.by_content;
    if (s.route && run.route && *run.route != s.route) {
        v.state = State::Unused;
        v.reason = "the translation goes by " + route_name(run.route->c_str()) + " instead";
        return v;
    }
    // What it needs.
    const chains::Ref* missing = nullptr;
    bool any_there = false, folders = false, folder_there = false;
    for (const chains::Ref& r : s.needs) {
        if (r.maybe) continue;
        const Set& n = run.tree.set(r);
        any_there |= n.there();
        if (!n.single) {
            folders = true;
            folder_there |= n.there();
        }
        bool required = !(s.flags & chains::AnyNeed) || n.single;
        if (required && !n.there() && !missing) missing = &r;
    }
    std::vector<std::string> alternatives; // AnyNeed: the folders of which none holds a file
    if (!missing && (s.flags & chains::AnyNeed) && folders && !folder_there)
        for (const chains::Ref& r : s.needs)
            if (!r.maybe && !run.tree.set(r).single) {
                if (!missing) missing = &r;
                alternatives.push_back(run.tree.set(r).shown);
            }
    auto waiting = [&] {
        v.state = State::Waiting;
        v.behind = !maker(c, index, *missing).empty();
        v.reason = missing_reason(c, index, *missing, run.tree.set(*missing));
        if (alternatives.size() > 1) {
            std::string who = maker(c, index, *missing);
            v.reason = "none of " + some(alternatives, 2) + " holds a file yet" + (who.empty() ? "" : "; " + who + " makes them");
        }
    };
    // What it makes.
    bool made = !s.makes.empty() && !(s.flags & chains::AnyMake), made_some = false;
    const chains::Ref* unmade = nullptr;
    for (const chains::Ref& r : s.makes) {
        bool there = run.tree.set(r).there();
        made_some |= there;
        if (!(s.flags & chains::AnyMake)) made = made && there;
        if (!there && !unmade) unmade = &r;
    }
    if (s.flags & chains::AnyMake) made = made_some;
    bool pair_made = false;
    for (const chains::Pair& p : s.pairs) pair_made |= run.tree.set(p.to).there() && run.tree.set(p.from).there();
    // An optional step is unused while nothing that a step before makes for
    // it is there (its folders; for a step that needs fixed files alone,
    // those).
    bool used = folders ? folder_there : any_there;
    if ((s.flags & chains::Optional) && !used && !made_some && !pair_made) {
        v.state = State::Unused;
        v.reason = "none of its inputs is there: a branch this translation does not take (yet)";
        return v;
    }
    auto newest_need = [&](const std::unordered_set<std::string>& skip, const chains::Ref** which) {
        const File* best = nullptr;
        std::string path;
        for (const chains::Ref& r : s.needs) {
            const Set& n = run.tree.set(r);
            for (const File& f : n.files) {
                if (skip.count(win::fold_case(n.path(f)))) continue;
                if (!best || f.modified > best->modified) {
                    best = &f;
                    path = n.path(f);
                    *which = &r;
                }
            }
        }
        return std::make_pair(best, path);
    };
    auto oldest_make = [&]() {
        const File* best = nullptr;
        std::string path;
        for (const chains::Ref& r : s.makes) {
            const Set& m = run.tree.set(r);
            for (const File& f : m.files)
                if (!best || f.modified < best->modified) {
                    best = &f;
                    path = m.path(f);
                }
        }
        return std::make_pair(best, path);
    };
    const Set* first_make = s.makes.empty() ? nullptr : &run.tree.set(s.makes.front());
    if (!s.job) { // by hand
        const Set* need = s.needs.empty() ? nullptr : &run.tree.set(s.needs.front());
        if (missing && !made) {
            waiting();
        } else if (!s.pairs.empty() && paired(run, s)) { // each file made by hand of another
            judge_pairs(run, s, v, written_later(run, c, index));
            if (v.state == State::Stale) {
                v.state = State::Ready;
                v.reason = "your turn: " + v.reason;
            }
        } else if (need && first_make && need->folder == first_make->folder && need->shown == first_make->shown) {
            v.state = State::Unknown;
            v.reason = "the files cannot tell whether it is done: " + holds(*first_make);
        } else if (made) {
            v.state = State::Done;
            const Set* shown = first_make;
            for (const chains::Ref& r : s.makes)
                if (run.tree.set(r).there()) {
                    shown = &run.tree.set(r);
                    break;
                }
            v.reason = holds(*shown);
            if (s.flags & chains::Times) {
                const chains::Ref* which = nullptr;
                auto [in, in_path] = newest_need({}, &which);
                auto [out, out_path] = oldest_make();
                if (in && out && in->modified > out->modified) {
                    v.state = State::Stale;
                    v.reason = in_path + " is newer than " + out_path + ": bring it up to date";
                }
            }
        } else {
            v.state = State::Ready;
            v.reason = !first_make ? "your turn"
                       : "your turn: " + (first_make->single ? first_make->shown + " is not there yet"
                                                             : first_make->shown + " holds no file yet");
        }
    } else if (missing) {
        waiting();
    } else if ((s.flags & chains::InPlace) && run.by_content) {
        v.state = State::Done;
        v.reason = "its files are as it left them";
        if (const Set* f = first_folder(run, s)) v.reason += "; " + holds(*f);
    } else if (s.flags & chains::InPlace) {
        v.state = State::Unknown;
        v.reason = "it rewrites its files in place, so the files cannot tell whether it ran";
        if (const Set* f = first_folder(run, s)) v.reason += "; " + holds(*f);
    } else if (!s.pairs.empty()) {
        judge_pairs(run, s, v, written_later(run, c, index));
    } else if (!first_make && run.by_content) {
        v.state = State::Done;
        v.reason = "its inputs are as they were when it ran";
    } else if (!first_make) { // it writes nothing of its own: the files cannot tell
        v.state = State::Unknown;
        v.reason = "it makes nothing that shows whether it ran";
    } else if (!made_some) {
        v.state = State::Ready;
        v.reason = "its inputs are there; it writes " + first_make->shown;
    } else if (!made) {
        v.state = State::Ready;
        v.reason = run.tree.set(*unmade).shown + " is not there yet";
    } else {
        v.state = State::Done;
        v.reason = holds(*first_make);
        if (run.by_content) {
            v.reason += ", made of its inputs as they are";
        } else if (!(s.flags & chains::NoTimes)) {
            // Inputs that this step or a later one rewrites tell nothing by
            // their time.
            std::unordered_set<std::string> skip = written_later(run, c, index);
            for (const chains::Ref& r : s.makes) {
                const Set& m = run.tree.set(r);
                for (const File& f : m.files) skip.insert(win::fold_case(m.path(f)));
            }
            const chains::Ref* which = nullptr;
            auto [in, in_path] = newest_need(skip, &which);
            auto [out, out_path] = oldest_make();
            if (in && out && in->modified > out->modified) {
                v.state = State::Stale;
                v.reason = in_path + " is newer than " + out_path + ": run " + s.job + " again";
                if (which && which->silent)
                    v.problems.push_back({in_path,
                                          "newer than " + out_path + ", which was made from it: the steps after take "
                                          "the old one without a word",
                                          "run " + std::string(s.job) + " again"});
            } else if (in && out) {
                v.reason += ", newer than its inputs";
            }
        }
    }
    // A job to run now stops where it creates an output in a folder that is
    // not there: the jobs create no folders.
    if (s.job && (v.state == State::Ready || v.state == State::Stale)) {
        std::set<std::string> told;
        auto folder_needed = [&](const chains::Ref& r) {
            const Set& m = run.tree.set(r);
            if (!m.place || !(m.place->use & about::Writes) || m.folder_there) return;
            if (!told.insert(win::fold_case(m.folder)).second) return;
            v.problems.push_back({m.folder, "this folder is not there",
                                  std::string(s.job) + " creates no folder and would stop where it writes into it: "
                                                       "make it"});
        };
        for (const chains::Ref& r : s.makes) folder_needed(r);
    }
    // A file the table list names that is not there stops the job at it.
    if (s.job)
        for (const chains::Ref& r : s.needs) {
            const Set& n = run.tree.set(r);
            for (const std::string& name : n.unlisted)
                v.problems.push_back({n.folder + name, "the table list names it, but it is not there",
                                      std::string(s.job) + " stops with \"Can't open\": put it there, or take it "
                                                           "off the list"});
        }
    for (chains::Check ch : s.checks) check(run, ch, v);
    // The journal knows what the step took: an input whose content changed
    // since makes it stale, whatever the times say.
    if (run.by_content && !changed.empty() && (v.state == State::Done || v.state == State::Unknown)) {
        v.state = State::Stale;
        v.reason = changed + ": run " + std::string(s.job) + " again";
    }
    // The archives and fonts it reads or writes: they must open and their
    // directories fit; with --verify, everything in them is read.
    std::set<std::string> seen;
    auto archives = [&](const chains::Ref& r, bool output) {
        const Set& set = run.tree.set(r);
        for (const File& f : set.files) {
            std::string path = set.path(f);
            Format fm = format_of(path);
            if (fm == Format::None || (fm == Format::Font && !run.verify)) continue;
            if (!seen.insert(win::fold_case(path)).second) continue;
            const Archive& a = run.tree.archive(path, lod_entries(path), run.verify);
            if (a.fault.empty()) continue;
            v.problems.push_back({path, a.fault,
                                  output ? "run " + std::string(s.job ? s.job : "the step") + " again"
                                         : "put an undamaged copy in its place",
                                  true});
        }
    };
    for (const chains::Ref& r : s.needs) archives(r, false);
    for (const chains::Ref& r : s.makes) archives(r, true);
    return v;
}

// The line of next steps of a chain.
void next_steps(ChainView& cv, const std::vector<State>& base) {
    std::vector<std::string> items;
    const char* last_route = nullptr;
    bool problems = false;
    for (size_t i = 0; i < cv.steps.size(); ++i) {
        const StepView& v = cv.steps[i];
        const chains::Step& s = *v.step;
        problems |= !v.problems.empty();
        if (base[i] != State::Ready && base[i] != State::Stale) continue;
        std::string item;
        json j = {{"job", s.job ? json(s.job) : json(nullptr)}, {"hand", s.hand ? json(utf8(s.hand)) : json(nullptr)}};
        if (s.job) {
            item = "run " + std::string(s.job);
            const about::Job* job = about::find(s.job);
            std::string home = job ? chains::home(*job) : "";
            if (!home.empty()) {
                std::set<std::string> beside;
                for (const about::Place& p : job->places) {
                    std::string rest = p.path;
                    while (rest.compare(0, 3, "..\\") == 0) rest.erase(0, 3);
                    if (rest != p.path) beside.insert(rest.substr(0, rest.find('\\')));
                }
                std::string names;
                for (const std::string& b : beside) names += (names.empty() ? "" : " and ") + b;
                item += " in a folder of " + home + ", beside " + names;
                j["in"] = utf8(home);
            }
        } else {
            item = "by hand, " + std::string(s.hand);
        }
        cv.next_steps.push_back(j);
        // Two routes open, neither taken yet: one or the other.
        if (s.route && !items.empty() && last_route && std::string(last_route) != s.route) {
            items.back() += " (or " + item + ")";
            last_route = nullptr;
            continue;
        }
        last_route = s.route;
        items.push_back(item);
    }
    std::string next;
    for (size_t i = 0; i < items.size(); ++i) next += (i ? "; then " : "") + items[i];
    if (problems) next = next.empty() ? "deal with the problems listed above" : "deal with the problems listed above; " + next;
    if (next.empty()) { // nothing to run: what the chain waits for, if anything
        next = "nothing to do: every step is done, or the files cannot tell";
        for (const StepView& v : cv.steps)
            if (v.state == State::Waiting && !(v.step->flags & chains::Optional)) {
                next = "waiting: " + step_title(*v.step) + ": " + v.reason;
                break;
            }
    }
    cv.next = next;
}

} // namespace

std::vector<ChainView> walk(Run& run) {
    std::vector<ChainView> out;
    for (const chains::Chain& c : chains::chains()) {
        ChainView cv;
        cv.chain = &c;
        run.chain = &c;
        std::string route;
        const char* r = route_in_use(run, c);
        if (r) route = r;
        run.route = r ? &route : nullptr;
        std::vector<State> base;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            run.index = i;
            StepView v = judge(run, c, i);
            base.push_back(v.state);
            v.base = v.state;
            if (!v.problems.empty()) v.state = State::Problem;
            cv.steps.push_back(std::move(v));
        }
        next_steps(cv, base);
        cv.done = true;
        for (const StepView& v : cv.steps)
            cv.done = cv.done && (v.state == State::Done || v.state == State::Unused);
        out.push_back(std::move(cv));
    }
    return out;
}

namespace {

const about::WorkflowInfo& info(about::Workflow w) {
    for (const about::WorkflowInfo& i : about::workflows())
        if (i.id == w) return i;
    return about::workflows().front();
}

// Problems told more than once (an archive several steps read) count once.
size_t count_problems(const std::vector<ChainView>& chains) {
    std::set<std::string> lines;
    for (const ChainView& c : chains)
        for (const StepView& v : c.steps)
            for (const Problem& p : v.problems) lines.insert(p.line());
    return lines.size();
}

// The compact view: lines of at most this many columns.
constexpr size_t kColumns = 100;

// A line cut to fit, "..." where it was cut.
std::string fit(const std::string& line, size_t width = kColumns) {
    if (line.size() <= width) return line;
    return line.substr(0, width - 3) + "...";
}

// A text wrapped at blanks into lines of at most kColumns, each after
// `indent` (the first after `first`).
void wrapped(const std::string& first, const std::string& indent, const std::string& text) {
    std::string line = first;
    size_t at = 0;
    bool empty = true;
    while (at < text.size()) {
        size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(at, end - at);
        at = end + 1;
        if (!empty && line.size() + 1 + word.size() > kColumns) {
            std::printf("%s\n", line.c_str());
            line = indent;
            empty = true;
        }
        line += (empty ? "" : " ") + word;
        empty = false;
    }
    std::printf("%s\n", fit(line).c_str());
}

std::string short_title(const chains::Step& s) { return s.job ? s.job : "by hand"; }

void print_verbose(const ChainView& c) {
    for (const StepView& v : c.steps) {
        std::printf("  %-8s %s: %s\n", word(v.state), step_title(*v.step).c_str(), v.reason.c_str());
        for (const std::string& d : v.details) std::printf("           %s\n", d.c_str());
        for (const Problem& p : v.problems) std::printf("           problem: %s\n", p.line().c_str());
    }
    std::printf("  next: %s\n", c.next.c_str());
}

// One line per step (state, job, a short reason), the steps of branches not
// taken folded into one, the figures under their step, the problems whole.
void print_compact(const ChainView& c) {
    size_t width = 0;
    for (const StepView& v : c.steps)
        if (v.state != State::Unused) width = std::max(width, short_title(*v.step).size());
    std::vector<std::string> unused;
    for (const StepView& v : c.steps)
        if (v.state == State::Unused) unused.push_back(short_title(*v.step));
    bool folded = false;
    const StepView* waiting = nullptr; // the first of a run of waiting steps
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const StepView& v = c.steps[i];
        // The steps that wait behind a waiting one: one line.
        auto quiet = [](const StepView& x) { return x.behind && x.details.empty() && x.problems.empty(); };
        size_t run_of = 0; // the quiet waiting steps from here on
        for (size_t k = i; k < c.steps.size(); ++k) {
            if (c.steps[k].state == State::Unused) continue;
            if (c.steps[k].state != State::Waiting || !quiet(c.steps[k])) break;
            ++run_of;
        }
        if (waiting && run_of >= 2) {
            std::vector<std::string> behind;
            for (; i < c.steps.size(); ++i) {
                const StepView& w = c.steps[i];
                if (w.state == State::Unused) continue;
                if (w.state != State::Waiting || !quiet(w)) break;
                behind.push_back(short_title(*w.step));
            }
            std::printf("%s\n", fit("  waiting  " + plural(behind.size(), "step", "steps") + " behind it: " +
                                      some(behind, 5)).c_str());
            waiting = nullptr;
            if (i == c.steps.size()) break;
            --i;
            continue;
        }
        if (v.state != State::Unused) waiting = v.state == State::Waiting ? &v : nullptr;
        if (v.state == State::Unused) {
            if (folded) continue;
            folded = true;
            std::printf("%s\n", fit("  unused   " + plural(unused.size(), "step", "steps") + " of a branch or route "
                                      "not taken: " + some(unused, 4)).c_str());
            continue;
        }
        std::string title = short_title(*v.step);
        std::string line = io::format("  %-8s %-*s  ", word(v.state), int(width), title.c_str()) + v.reason;
        std::printf("%s\n", fit(line).c_str());
        for (const std::string& d : v.details) std::printf("%s\n", fit("           " + d).c_str());
        for (const Problem& p : v.problems) wrapped("           problem: ", "             ", p.line());
    }
    if (c.done) std::printf("  done: every step of this chain is done\n");
    else wrapped("  next: ", "        ", c.next);
}

void print_text(const std::vector<ChainView>& chains, size_t problems, bool verify, bool verbose) {
    print_chains(chains, verbose);
    std::printf("\n%s%s\n", problems == 0 ? "No problem listed" : (plural(problems, "problem", "problems") + " listed").c_str(),
                verify ? "; every archive and font that is there was read whole (--verify)." : ".");
}

} // namespace

void print_chains(const std::vector<ChainView>& chains, bool verbose) {
    bool first = true;
    for (const ChainView& c : chains) {
        std::printf("%s%s\n", first ? "" : "\n", info(c.chain->workflow).title);
        first = false;
        if (verbose) print_verbose(c);
        else print_compact(c);
    }
}

namespace {

json problem_json(const Problem& p) {
    json files = json::array();
    for (const std::string& f : p.files) files.push_back(utf8(f));
    return {{"path", utf8(p.path)},
            {"what", utf8(p.what)},
            {"todo", utf8(p.todo)},
            {"damaged", p.damaged},
            {"files", files},
            {"count", p.count ? p.count : 1},
            {"line", utf8(p.line())}};
}

void print_json(const std::vector<ChainView>& chains, size_t problems, bool verify) {
    json doc = {{"locbench", LOCBENCH_VERSION}, {"verify", verify}, {"problems", problems}};
    json cs = json::array();
    for (const ChainView& c : chains) {
        const about::WorkflowInfo& w = info(c.chain->workflow);
        json steps = json::array();
        for (const StepView& v : c.steps) {
            const chains::Step& s = *v.step;
            json details = json::array(), ps = json::array();
            for (const std::string& d : v.details) details.push_back(utf8(d));
            for (const Problem& p : v.problems) ps.push_back(problem_json(p));
            steps.push_back({{"step", utf8(step_title(s))},
                             {"job", s.job ? json(s.job) : json(nullptr)},
                             {"hand", s.hand ? json(utf8(s.hand)) : json(nullptr)},
                             {"route", s.route ? json(s.route) : json(nullptr)},
                             {"optional", (s.flags & chains::Optional) != 0},
                             {"state", word(v.state)},
                             {"judged_by", v.by_content ? "content" : "times"},
                             {"reason", utf8(v.reason)},
                             {"details", details},
                             {"counts", v.counts},
                             {"problems", ps}});
        }
        cs.push_back({{"key", w.key},
                      {"title", w.title},
                      {"done", c.done},
                      {"steps", steps},
                      {"next", utf8(c.next)},
                      {"next_steps", c.next_steps}});
    }
    doc["chains"] = cs;
    std::printf("%s\n", doc.dump(2).c_str());
}

int usage(const std::string& bad) {
    std::fprintf(stderr,
                 "locbench: unexpected argument \"%s\"; usage: locbench status [--verify] [--verbose] [--json] [--help]\n",
                 bad.c_str());
    return 2;
}

} // namespace

namespace {
int report(const std::vector<std::string>& args);
} // namespace

int main(const std::vector<std::string>& args) {
    try {
        return report(args);
    } catch (const std::bad_alloc&) {
        // A buffer it needs cannot be had: it ends in order, as the jobs do.
        std::printf("Out of memory\n");
        return 1;
    }
}

namespace {

int report(const std::vector<std::string>& args) {
    bool json_out = false, verify = false, verbose = false;
    for (const std::string& a : args) {
        if ((a == "--help" || a == "-h" || a == "/?") && args.size() == 1) {
            about::help(description());
            return 0;
        }
        if (a == "--json" && !json_out) json_out = true;
        else if (a == "--verify" && !verify) verify = true;
        else if (a == "--verbose" && !verbose) verbose = true;
        else return usage(a);
    }
    journal::Journal journal;
    journal.load();
    Run run;
    run.journal = &journal;
    run.verify = verify;
    run.terminal = !json_out && win::terminal(stdout);
    if (verify) {
        // Reading every archive whole and counting the texts take most of
        // the time, and need each other's nothing: side by side.
        std::vector<std::pair<std::string, uint32_t>> archives;
        std::set<std::string> seen;
        for (const chains::Chain& c : chains::chains())
            for (const chains::Step& s : c.steps)
                for (const std::vector<chains::Ref>* refs : {&s.needs, &s.makes})
                    for (const chains::Ref& r : *refs) {
                        const Set& set = run.tree.set(r);
                        for (const File& f : set.files) {
                            std::string path = set.path(f);
                            if (format_of(path) != Format::None && seen.insert(win::fold_case(path)).second)
                                archives.push_back({path, lod_entries(path)});
                        }
                    }
        run.tree.read_archives(archives, true, [&] { count_texts(run); });
    }
    std::vector<ChainView> chains = walk(run);
    size_t problems = count_problems(chains);
    if (json_out) print_json(chains, problems, verify);
    else print_text(chains, problems, verify, verbose);
    std::fflush(stdout);
    return problems == 0 ? 0 : 1;
}

} // namespace

} // namespace status
