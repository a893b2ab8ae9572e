// What `locbench make` is about, as data (see jobs/about.hpp).
#include "make/make.hpp"

namespace make {

const about::Command& description() {
    static const about::Command c = {
        "make",
        "runs the automatic steps of the chains (all, or those named: pak, lod, bitmaps, fonts, sndvid, texts) in "
        "workflow order, each job as its own process, every step whose inputs changed since it last ran or whose "
        "outputs are not there yet, up to the first step by hand whose work is missing",
        {
            {"-n", "the whole plan, each step with its reason, as if each job succeeded; nothing is run and "
                   "nothing written"},
            {"-k", "after a job fails, goes on with the other chains; the steps after the failed one are skipped"},
            {"--force", "overwrites an output that make wrote and that was edited since"},
            {"--help", "this description"},
            {"CHAIN...", "the chains to run, by their short names (pak, lod, bitmaps, fonts, sndvid, texts); none: "
                         "all of them"},
        },
        "what status reads, and the journal c:\\games\\locbench.journal of the steps it ran: each input and output "
        "with its size, time and a hash of its content. A step is run again only when an input's content differs "
        "from the journal's; hashes are taken only where a size or a time differs. It writes the journal after "
        "each step (replaced in one step), runs patchpak in a folder of the game's folder beside main and rus "
        "(bin, made when there is none), and does no step by hand",
        "\"[k/N] JOB: why\" for each step, the job's own output as it comes and the time it took; on a failure "
        "\"FAILED: JOB (exit N)\", its last lines and the outputs that stayed as they were; at the end one line "
        "per chain: what ran, what was skipped, what it waits for",
        {
            {"", 0, "every chain asked for is done, or waits for a step by hand"},
            {"", 1, "a job failed (make ends with the failed job's own exit code, 1 as a rule), an output that "
                    "make wrote was edited since (--force overwrites it), or a job cannot be started or the "
                    "journal written"},
            {"", 2, "a usage error: an unknown argument or chain"},
        },
    };
    return c;
}

} // namespace make
