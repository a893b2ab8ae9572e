// What `locbench status` is about, as data (see jobs/about.hpp).
#include "status/status.hpp"

namespace status {

const about::Command& description() {
    static const about::Command c = {
        "status",
        "tells where a translation stands, chain by chain: which jobs have run, which outputs are older than "
        "what they were made from, how much is translated, what a job would refuse or pass over, and what to run "
        "next",
        {
            {"--verify", "also reads every game archive and font that is there whole and checks it as the jobs "
                         "read it: members within the file, every LOD payload unpacking to the size its entry "
                         "header gives, glyph tables that fit"},
            {"--verbose", "every step with its reason whole, as the lines of old, instead of the compact view"},
            {"--json", "the same as one JSON document (UTF-8), for a team's own scripts"},
            {"--help", "this description"},
        },
        "the fixed files and folders of the jobs of every chain, as the jobs find them; the headers and "
        "directories of the game archives (without --verify never a member's data), the table list, the tables "
        "and the translations, and the journal of locbench make (a step make ran is judged by the content of its "
        "inputs, not by their times). It never writes, creates, renames or removes anything, never creates a folder and "
        "changes no time stamp",
        "for each chain, one line of at most 100 columns per job and per step by hand, in workflow order (the steps "
        "of a branch not taken folded into one line, a chain whose every step is done saying so), with its state (done, stale, "
        "ready, waiting, problem, unknown where the files cannot tell, unused for a step of a route or a branch "
        "not taken) and why, the figures to steer by under it, each problem with its file, what is wrong and what "
        "to do, and the next steps",
        {
            {"", 0, "no problem is listed"},
            {"", 1, "a problem is listed: something a job would refuse or pass over without a word, an output "
                    "older than the input the next step takes, or a damaged archive"},
            {"", 2, "a usage error: an unknown argument"},
        },
    };
    return c;
}

} // namespace status
