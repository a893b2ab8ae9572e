// How status judges the steps of the chains: the states, what is shown for
// each step, and the checks that look beyond what is there and when.
#pragma once

#include "status/journal.hpp"
#include "status/look.hpp"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace status {

enum class State {
    Done,    // its outputs are there and none is older than an input it was made from
    Stale,   // an input changed after the output was made
    Ready,   // its inputs are there and its outputs not yet: a job to run now (by hand: your turn)
    Waiting, // an input is missing
    Problem, // something a run would refuse, or pass over without a word
    Unknown, // the files cannot tell
    Unused,  // a branch or a route that the translation does not take
};
const char* word(State s);

struct Problem {
    std::string path; // the file or folder it is about (Windows path as the jobs name it)
    std::string what; // what is wrong
    std::string todo; // what to do
    bool damaged = false; // "Damaged file PATH: WHAT", as the jobs word it
    std::vector<std::string> files = {}; // the files it is about, when several (the first ones)
    uint64_t count = 0;             // how many files, when several
    std::string line() const;       // as the text shows it
};

struct StepView {
    const chains::Step* step = nullptr;
    State state = State::Waiting;
    State base = State::Waiting; // the state before its problems made it a problem
    bool by_content = false;     // judged by the journal of make, not by times
    bool behind = false;         // waiting for what an earlier step makes
    std::string reason;
    std::vector<std::string> details; // figures to steer by, one line each
    nlohmann::json counts;            // the same figures for --json (null when none)
    std::vector<Problem> problems;
};

struct ChainView {
    const chains::Chain* chain = nullptr;
    std::vector<StepView> steps;
    bool done = false; // every step done, or not taken
    std::string next; // the line of next steps
    nlohmann::json next_steps = nlohmann::json::array();
};

// What the checks of one run share.
struct Run {
    Tree tree;
    bool verify = false;
    bool terminal = false; // standard output is a terminal: bars beside percentages
    const chains::Chain* chain = nullptr;
    size_t index = 0; // of the step at hand in its chain
    const std::string* route = nullptr; // the route in use in the chain at hand, if one is
    const journal::Journal* journal = nullptr; // what make recorded; null or empty: times alone
    bool by_content = false; // the step at hand has a record in the journal: its times tell nothing
};

// The files a job step takes and leaves as the journal records them: every
// file of what it needs and of the inputs of its pairs, and every file of
// what it makes and of the outputs of its pairs (a job that rewrites in place
// leaves what it took). Inputs that this step or a later job step of the
// chain rewrites are left out of `ins`.
struct StepFiles {
    std::vector<journal::Entry> ins, outs; // path, size and time (no hash)
    std::vector<std::string> later;        // folded paths of what later job steps write
};
StepFiles step_files(Run& run, const chains::Chain& c, size_t index);

// The chains walked over the tree, each step judged.
std::vector<ChainView> walk(Run& run);

// The folded path that a reference's place names: the file, or the folder
// of a folder or a search.
std::string place_key(const chains::Ref& r);

// The title of a step: its job, or "by hand: WHAT".
std::string step_title(const chains::Step& s);

// The text of the chains, in the compact view (one line per step) or with
// every reason whole.
void print_chains(const std::vector<ChainView>& chains, bool verbose);

// The check of a step, run once its generic state is known: it may change
// the state and its reason, and add figures and problems.
void check(Run& run, chains::Check c, StepView& v);

// Counts the texts of zund7 as importpo or collecttodo take them (once per
// run; the check of the translation uses what it found).
void count_texts(Run& run);

// The one fixed file of a step's needs whose format is `f` (an archive); its
// path, or "" when it has none.
std::string need_of_format(const chains::Step& s, Format f);
// The first folder (or search) a step needs.
const Set* first_folder(Run& run, const chains::Step& s);

// "text+menu.txt" for a name near `name` among `names` (letter case
// ignored), or "" when none is near.
std::string closest(const std::string& name, const std::vector<std::string>& names);

// At most a few names of a long list, for a line: "a, b, c and 12 more".
std::string some(const std::vector<std::string>& names, size_t shown = 3);

} // namespace status
