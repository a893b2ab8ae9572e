// `locbench make`: walks the chains as status does, runs the first job step
// that is ready or stale, records what it took and left in the journal, and
// walks again, until every chain asked for is done, waits for a step by
// hand, or a job fails.
#include "make/make.hpp"

#include "platform/io.hpp"
#include "platform/win.hpp"
#include "status/engine.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <new>
#include <set>
#include <unordered_set>

namespace make {

namespace {

using status::ChainView;
using status::State;
using status::StepView;

struct Options {
    bool dry = false, keep_going = false, force = false;
    std::set<std::string> chains; // keys; empty: all
};

const char* key_of(const chains::Chain& c) {
    for (const about::WorkflowInfo& i : about::workflows())
        if (i.id == c.workflow) return i.key;
    return "";
}

bool asked(const Options& o, const chains::Chain& c) { return o.chains.empty() || o.chains.count(key_of(c)); }

// Whether anything a step by hand makes is there: its work has begun.
bool begun(status::Run& run, const chains::Step& s) {
    for (const chains::Ref& r : s.makes)
        if (run.tree.set(r).there()) return true;
    for (const chains::Pair& p : s.pairs)
        if (run.tree.set(p.to).there() && run.tree.set(p.from).there()) return true;
    return s.makes.empty() && s.pairs.empty();
}

// What a job step is to make of its state: run it, pass it, or stop the
// chain there.
enum class Turn { Run, Pass, Stop };

Turn job_turn(const StepView& v) {
    switch (v.base) {
    case State::Ready:
    case State::Stale: return Turn::Run;
    case State::Unknown: return v.by_content ? Turn::Pass : Turn::Run; // never run under make: it runs once
    // Waiting for what an earlier step makes: the chain stops there. Waiting
    // for a file of the game: a branch whose game file is not there.
    case State::Waiting: return v.behind && !(v.step->flags & chains::Optional) ? Turn::Stop : Turn::Pass;
    default: return Turn::Pass;
    }
}

std::string why(const StepView& v) {
    if (v.base == State::Unknown && !v.by_content) return "make has not run it yet";
    return v.reason;
}

std::string hand_short(const chains::Step& s) { return "by hand: " + std::string(s.hand); }

// What a chain came to.
struct Outcome {
    std::vector<std::string> ran, skipped;
    std::string failed;    // the job that failed
    int code = 0;
    std::string waits;     // what it waits for
    std::vector<std::string> notes; // how far the steps by hand have got
    std::vector<std::string> absent; // job steps of a branch whose game file is not there
    bool stopped = false;  // it will not go on in this run
};

// The plan: as if each job succeeded. A step whose needs a planned step
// makes runs after it, though it waits or is done now.
struct Planned {
    const chains::Chain* chain;
    size_t index;
    std::string reason;
};

std::vector<Planned> plan(status::Run& run, const std::vector<ChainView>& views, const Options& o,
                          std::vector<Outcome>* outcomes) {
    std::vector<Planned> out;
    std::unordered_set<std::string> made; // places that planned steps write
    for (size_t ci = 0; ci < views.size(); ++ci) {
        const ChainView& cv = views[ci];
        if (!asked(o, *cv.chain)) continue;
        Outcome& oc = (*outcomes)[ci];
        for (size_t i = 0; i < cv.steps.size(); ++i) {
            const StepView& v = cv.steps[i];
            const chains::Step& s = *v.step;
            std::string after;
            for (const chains::Ref& r : s.needs)
                if (after.empty() && made.count(status::place_key(r))) after = r.end;
            if (s.job) {
                Turn t = job_turn(v);
                if (t == Turn::Pass && v.state == State::Unused && after.empty()) continue;
                if (t != Turn::Run && !after.empty()) {
                    t = Turn::Run;
                } else if (t == Turn::Stop) {
                    oc.waits = s.job + std::string(": ") + v.reason;
                    break;
                }
                if (t != Turn::Run) {
                    if (v.base == State::Waiting && !(s.flags & chains::Optional))
                        oc.absent.push_back(s.job + std::string(": ") + v.reason);
                    continue;
                }
                out.push_back({cv.chain, i, after.empty() ? why(v) : "after the step before writes " + after});
                // What it will write: the outputs of pairs whose inputs are
                // there or are to be made.
                auto coming = [&](const chains::Ref& r) {
                    return run.tree.set(r).there() || made.count(status::place_key(r));
                };
                std::vector<std::string> writes;
                for (const chains::Ref& r : s.makes) writes.push_back(status::place_key(r));
                for (const chains::Pair& p : s.pairs)
                    if (coming(p.from)) writes.push_back(status::place_key(p.to));
                if (s.flags & chains::InPlace)
                    for (const chains::Ref& r : s.needs)
                        if (coming(r)) writes.push_back(status::place_key(r));
                made.insert(writes.begin(), writes.end());
                continue;
            }
            if (v.state == State::Unused) continue;
            // A step by hand that works on what a planned step writes, in
            // the same place (videos left as they are or replaced): its work
            // is there once that step ran.
            bool in_place = !after.empty() && !s.makes.empty();
            for (const chains::Ref& r : s.makes) in_place = in_place && made.count(status::place_key(r));
            if (in_place) continue;
            if (v.base == State::Waiting || !begun(run, s)) {
                oc.waits = hand_short(s) + (v.base == State::Waiting && !after.empty() ? "" : " (" + v.reason + ")");
                break;
            }
            if (v.base == State::Ready || v.base == State::Stale)
                oc.notes.push_back("the step by hand has got so far: " + v.reason);
        }
    }
    return out;
}

// The last lines of a job's output, and the output passed through as it
// comes (CR LF folded, so that a text stream on any system adds its own).
struct Relay {
    std::deque<std::string> last;
    std::string line;
    bool cr = false;
    void take(const char* p, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            char c = p[i];
            if (cr && c != '\n') put('\r');
            cr = c == '\r';
            if (!cr) put(c);
        }
        std::fflush(stdout);
    }
    void put(char c) {
        std::fputc(c, stdout);
        if (c == '\n') {
            last.push_back(line);
            if (last.size() > 5) last.pop_front();
            line.clear();
        } else {
            line += c;
        }
    }
    void end() {
        if (cr) put('\r');
        if (!line.empty()) {
            std::fputc('\n', stdout);
            last.push_back(line);
            if (last.size() > 5) last.pop_front();
        }
    }
};

// The folder a job runs in: "c:\" for a job whose places are absolute; for
// one whose places lie beside the folder it runs in (patchpak), a folder of
// its home beside them: bin, made when there is none.
std::string folder_for(const about::Job& job) {
    std::string home = chains::home(job);
    if (home.empty()) return "c:\\";
    std::string bin = home + "\\bin";
    win::mkdir(bin.c_str());
    return bin;
}

// The record of a step as it is now: every file hashed.
bool record(status::Run& run, const chains::Chain& c, size_t index, journal::Journal& j, journal::Record* r) {
    status::StepFiles f = status::step_files(run, c, index);
    for (auto* list : {&f.ins, &f.outs})
        for (journal::Entry& e : *list)
            if (!j.hash_of(e.path, e.size, e.modified, &e.hash)) return false;
    r->ins = std::move(f.ins);
    r->outs = std::move(f.outs);
    return true;
}

// The outputs that make wrote for a step and that changed since: edited by
// hand (outputs that a later job step rewrites aside).
std::vector<std::string> edited_outputs(status::Run& run, const chains::Chain& c, size_t index,
                                        const journal::Journal& j) {
    std::vector<std::string> out;
    const chains::Step& s = c.steps[index];
    const journal::Record* rec = j.find(key_of(c), s.job);
    if (!rec || j.running(key_of(c), s.job) || (s.flags & chains::InPlace)) return out;
    status::StepFiles now = status::step_files(run, c, index);
    std::unordered_set<std::string> later(now.later.begin(), now.later.end());
    for (const journal::Entry& e : rec->outs) {
        if (later.count(win::fold_case(e.path))) continue;
        win::FindData fd;
        intptr_t h = win::findfirst(e.path.c_str(), &fd);
        if (h == -1) continue;
        win::findclose(h);
        if (fd.folder || win::fold_case(fd.name) != win::fold_case(status::name_of(e.path))) continue;
        if (!j.same(e, fd.size, fd.modified)) out.push_back(e.path);
    }
    return out;
}

void summary(const std::vector<ChainView>& views, const std::vector<Outcome>& outcomes, const Options& o, bool dry) {
    std::printf("\n");
    for (size_t ci = 0; ci < views.size(); ++ci) {
        const chains::Chain& c = *views[ci].chain;
        if (!asked(o, c)) continue;
        const Outcome& oc = outcomes[ci];
        std::string line = std::string(key_of(c)) + ": ";
        line += dry ? "would run " + std::to_string(oc.ran.size()) : "ran " + std::to_string(oc.ran.size());
        if (!oc.ran.empty()) line += " (" + status::some(oc.ran, 8) + ")";
        if (!oc.skipped.empty()) line += ", skipped " + std::to_string(oc.skipped.size()) + " (" + status::some(oc.skipped, 8) + ")";
        if (!oc.failed.empty()) line += "; FAILED: " + oc.failed + io::format(" (exit %d)", oc.code);
        else if (!oc.waits.empty()) line += "; waiting for " + oc.waits;
        else if (!oc.absent.empty()) line += "; waiting for a file of the game: " + oc.absent.front();
        else line += "; done";
        for (const std::string& n : oc.notes) line += "; " + n;
        std::printf("%s\n", line.c_str());
    }
}

int usage(const std::string& bad) {
    std::fprintf(stderr,
                 "locbench: unexpected argument \"%s\"; usage: locbench make [-n] [-k] [--force] "
                 "[pak|lod|bitmaps|fonts|sndvid|texts...] [--help]\n",
                 bad.c_str());
    return 2;
}

int run_make(const std::vector<std::string>& args) {
    Options o;
    for (const std::string& a : args) {
        if ((a == "--help" || a == "-h" || a == "/?") && args.size() == 1) {
            about::help(description());
            return 0;
        }
        bool chain = false;
        for (const about::WorkflowInfo& w : about::workflows()) chain |= a == w.key;
        if (a == "-n" && !o.dry) o.dry = true;
        else if (a == "-k" && !o.keep_going) o.keep_going = true;
        else if (a == "--force" && !o.force) o.force = true;
        else if (chain && o.chains.insert(a).second) {}
        else return usage(a);
    }
    journal::Journal j;
    j.load();
    const size_t count = chains::chains().size();
    std::vector<Outcome> planned(count);
    std::vector<Planned> steps;
    std::vector<ChainView> views;
    {
        status::Run run;
        run.journal = &j;
        views = status::walk(run);
        steps = plan(run, views, o, &planned);
    }
    if (o.dry) {
        size_t k = 0;
        for (const Planned& p : steps) {
            std::printf("[%zu/%zu] %s: %s\n", ++k, steps.size(), p.chain->steps[p.index].job, p.reason.c_str());
            for (size_t ci = 0; ci < count; ++ci)
                if (&chains::chains()[ci] == p.chain) planned[ci].ran.push_back(p.chain->steps[p.index].job);
        }
        if (steps.empty()) std::printf("Nothing to run.\n");
        summary(views, planned, o, true);
        return 0;
    }

    std::vector<Outcome> outcomes(count);
    std::set<std::pair<size_t, size_t>> done_here; // steps run in this make
    size_t k = 0, total = steps.size();
    int code = 0;
    for (;;) {
        status::Run run;
        run.journal = &j;
        views = status::walk(run);
        // The first step to run, chain by chain in workflow order.
        size_t pick_c = count, pick_i = 0;
        for (size_t ci = 0; ci < count && pick_c == count; ++ci) {
            const ChainView& cv = views[ci];
            Outcome& oc = outcomes[ci];
            if (!asked(o, *cv.chain) || oc.stopped) continue;
            oc.waits.clear();
            oc.notes.clear();
            oc.absent.clear();
            for (size_t i = 0; i < cv.steps.size(); ++i) {
                const StepView& v = cv.steps[i];
                const chains::Step& s = *v.step;
                if (s.job) {
                    if (done_here.count({ci, i})) continue;
                    Turn t = job_turn(v);
                    if (t == Turn::Stop) {
                        oc.waits = s.job + std::string(": ") + v.reason;
                        break;
                    }
                    if (t == Turn::Run) {
                        pick_c = ci;
                        pick_i = i;
                        break;
                    }
                    if (v.base == State::Waiting && !(s.flags & chains::Optional))
                        oc.absent.push_back(s.job + std::string(": ") + v.reason);
                    continue;
                }
                if (v.state == State::Unused) continue;
                if (v.base == State::Waiting || !begun(run, s)) {
                    oc.waits = hand_short(s) + " (" + v.reason + ")";
                    break;
                }
                if (v.base == State::Ready || v.base == State::Stale)
                oc.notes.push_back("the step by hand has got so far: " + v.reason);
            }
        }
        if (pick_c == count) break;
        const chains::Chain& c = *views[pick_c].chain;
        const chains::Step& s = c.steps[pick_i];
        const StepView& v = views[pick_c].steps[pick_i];
        Outcome& oc = outcomes[pick_c];
        done_here.insert({pick_c, pick_i});
        std::vector<std::string> edited = edited_outputs(run, c, pick_i, j);
        if (!edited.empty() && !o.force) {
            std::printf("Refused: %s would overwrite %s, which make wrote and which was edited since; keep a copy "
                        "and remove it, or run locbench make --force\n",
                        s.job, status::some(edited, 3).c_str());
            oc.failed = s.job;
            oc.code = 1;
            oc.stopped = true;
            if (code == 0) code = 1;
            if (!o.keep_going) break;
            continue;
        }
        total = std::max(total, ++k);
        std::printf("[%zu/%zu] %s: %s\n", k, total, s.job, why(v).c_str());
        std::fflush(stdout);
        const about::Job* job = about::find(s.job);
        std::string exe = win::program_beside(s.job);
        status::StepFiles before = status::step_files(run, c, pick_i);
        j.set_running(key_of(c), s.job, true);
        if (!j.save()) {
            std::printf("Can't write %s\n", journal::kPath);
            return 1;
        }
        auto start = std::chrono::steady_clock::now();
        Relay relay;
        int rc = exe.empty() || !job ? -1
                                     : win::run_program(exe, folder_for(*job), [&](const char* p, size_t n) {
                                           relay.take(p, n);
                                       });
        relay.end();
        double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (rc == -1) {
            std::printf("Can't start %s (%s)\n", s.job, exe.empty() ? "no executable of its own beside locbench" : exe.c_str());
            rc = 1;
        }
        if (rc != 0) {
            std::printf("FAILED: %s (exit %d) after %.1f s\n", s.job, rc, took);
            if (!relay.last.empty()) {
                std::printf("  its last lines:\n");
                for (const std::string& l : relay.last) std::printf("    %s\n", l.c_str());
            }
            // The jobs replace their outputs whole: those whose size and
            // time did not move stayed as they were.
            status::Run after;
            status::StepFiles now = status::step_files(after, c, pick_i);
            std::vector<std::string> kept;
            for (const journal::Entry& e : before.outs)
                for (const journal::Entry& n : now.outs)
                    if (n.path == e.path && n.size == e.size && n.modified == e.modified) kept.push_back(e.path);
            if (!kept.empty()) std::printf("  stayed as they were: %s\n", status::some(kept, 5).c_str());
            oc.failed = s.job;
            oc.code = rc;
            oc.stopped = true;
            if (code == 0) code = rc;
            // The steps after it are skipped.
            for (const Planned& p : steps)
                if (p.chain == &c && p.index > pick_i) oc.skipped.push_back(c.steps[p.index].job);
            if (!o.keep_going) break;
            continue;
        }
        std::printf("  %s done in %.1f s\n", s.job, took);
        oc.ran.push_back(s.job);
        status::Run after;
        journal::Record r;
        if (!record(after, c, pick_i, j, &r)) {
            std::printf("Can't open a file that %s took or left to record it\n", s.job);
            return 1;
        }
        j.put(key_of(c), s.job, std::move(r));
        j.set_running(key_of(c), s.job, false);
        if (!j.save()) {
            std::printf("Can't write %s\n", journal::kPath);
            return 1;
        }
        j.load(); // its own time: the tick that racy times are judged by
    }
    // Chains not gone through once a failure stopped make.
    if (code != 0 && !o.keep_going)
        for (size_t ci = 0; ci < count; ++ci) {
            Outcome& oc = outcomes[ci];
            if (!asked(o, chains::chains()[ci]) || !oc.failed.empty()) continue;
            for (const Planned& p : steps)
                if (p.chain == &chains::chains()[ci] &&
                    std::find(oc.ran.begin(), oc.ran.end(), p.chain->steps[p.index].job) == oc.ran.end())
                    oc.skipped.push_back(p.chain->steps[p.index].job);
            if (!oc.skipped.empty()) oc.waits = "a failure elsewhere";
        }
    summary(views, outcomes, o, false);
    std::fflush(stdout);
    return code;
}

} // namespace

int main(const std::vector<std::string>& args) {
    try {
        return run_make(args);
    } catch (const std::bad_alloc&) {
        std::printf("Out of memory\n");
        return 1;
    }
}

} // namespace make
