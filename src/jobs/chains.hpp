// The chains a translation runs through, told once as data beside the jobs'
// descriptions (about.hpp): in each workflow, the jobs in the order they run,
// the steps done by hand between them, which of a job's fixed places a step
// needs and which it makes, which files pair up (an edited payload and the
// packed file made of it), and what else is worth a look at each step.
//
// The data names places, never paths: a reference is a job and the end of the
// path of one of its places, so that every path is told once, in the job's
// description. `locbench status` walks these chains over a game tree, the
// documentation tool draws them (one Graphviz picture per chain), and adding
// a step here adds it to both.
#pragma once

#include "jobs/about.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace chains {

// Names of a folder's files meaning "the files the table list names": the
// tables and string files that todo.txt lists (the job's own list).
inline constexpr const char* kListed = "<listed>";

// A fixed place of a job: the one place of `job` whose path ends with `end`.
struct Ref {
    const char* job;
    const char* end;
    // Which files of a folder, or of a search's matches, count: a wildcard
    // pattern, each "|!PATTERN" after it leaving out the names that match
    // PATTERN ("*|!*.zl|!*.act"); kListed; nullptr for all.
    const char* names = nullptr;
    // A file here newer than the step's outputs is no mere "run again": the
    // next step would take the old outputs without a word, so it is listed
    // as a problem.
    bool silent = false;
    // Read when there, but not needed: its files count for times, none
    // there keeps nobody waiting.
    bool maybe = false;
};

// Each file of `from` and the file of `to` made of it: its name with `drop`
// cut from its end and `add` appended. A step by hand with pairs is judged by
// them once one of them is made (a file of `to` of that name is there), else
// by what it makes.
struct Pair {
    Ref from;
    Ref to;
    const char* drop = "";
    const char* add = "";
    bool silent = false; // an output older than its input is a problem (see Ref::silent)
};

// What is looked at beyond what is there and when it was written.
enum class Check {
    RusNames,       // files of rus whose name matches no member of the PAK archive
    PakPatched,     // the files of rus against the archive's members: in the archive yet?
    ReadyEntries,   // ready entry files against the entries of the source archive
    AllEntries,     // an entry file for every entry of the source archive
    MergedPayloads, // repacked payloads against the merged entry files made of them
    Sounds,         // prepared sounds against the members of the sound archive
    Videos,         // prepared videos against the members of the video archive
    Masking,        // line breaks inside the cells of the tables, not yet masked
    Unmasking,      // masked line breaks of the translated tables, not yet restored
    Translation,    // how much of the texts is translated; whether the ready list would be made
    Glyphs,         // the fonts against the characters the translation uses
};

enum Flag {
    Optional = 1, // not every translation takes it: unused while none of its inputs is there
    InPlace = 2,  // rewrites its files in place: the files cannot tell whether it ran
    AnyNeed = 4,  // one of its inputs is enough
    AnyMake = 8,  // one of its outputs shows that it ran
    NoTimes = 16, // a job whose outputs are not compared by time with its inputs
    Times = 32,   // a hand step whose outputs are (hand steps are not, as a rule)
};

// A step of a chain. A job step that names nothing it needs takes every place
// its job reads; one that names nothing it makes (and pairs nothing up, and
// rewrites nothing in place) every place its job only writes: adding a job
// is one line, {.job = "NAME"}, where its places say enough.
struct Step {
    const char* job = nullptr;  // nullptr for a step done by hand
    const char* hand = nullptr; // what the team does, for a step done by hand
    std::vector<Ref> needs = {}; // what must be there before it
    std::vector<Ref> makes = {}; // what shows that it was done
    std::vector<Pair> pairs = {};
    std::vector<Check> checks = {};
    int flags = 0;
    // One of two ways through a chain, for the steps that only one of them
    // takes ("po": a translation tool on a PO file; "list": the numbered
    // list in a text editor).
    const char* route = nullptr;

    std::string name() const; // the job's name, or "by hand"
};

struct Chain {
    about::Workflow workflow; // its key and title are the workflow's
    std::vector<Step> steps;
};

const std::vector<Chain>& chains();

// The archives whose entry count a job takes as fixed, whatever the archive
// says: the LOD archives of the chains (0: the count the archive gives), and
// the video archive of mixsmk.
struct Fixed {
    Ref place;
    uint32_t entries;
};
const std::vector<Fixed>& fixed_counts();

// The place a reference names; nullptr when none or more than one of the
// job's places end so (a test checks every reference).
const about::Place* place(const Ref& r);

// A place's path from the root of its drive. patchpak names its places
// relative to the folder it runs in (..\main\pak0.pak); they are taken at the
// layout that another job's absolute place gives them (extractpak's
// c:\games\Brassjaw\main\pak0.pak): the folder beside main. Paths that no
// absolute place anchors stay as they are.
std::string absolute(const about::Place& p);
// The folder inside which a job with relative places runs: c:\games\Brassjaw
// for patchpak, run in a folder there beside main and rus (such as bin);
// empty for a job whose places are all absolute.
std::string home(const about::Job& j);

// A chain as a Graphviz graph: the steps in order, each job with the places
// it reads and writes, the steps by hand between them. The same data always
// give the same text.
std::string dot(const Chain& c);
// What the picture drawn of a Graphviz source says of that source (a hash of
// it, kept as a comment in the SVG), so that a picture older than its source
// is told without Graphviz.
std::string stamp(const std::string& source);

} // namespace chains
