// `locbench make`: the automatic steps of the chains run in workflow order,
// each job as its own process, judged by what changed (the journal, see
// status/journal.hpp), up to the first step by hand whose work is not there.
// It lives above the jobs, beside status, and is linked into locbench alone.
#pragma once

#include "jobs/about.hpp"

#include <string>
#include <vector>

namespace make {

const about::Command& description();

// The command line after "make": [-n] [-k] [--force] [CHAIN...], --help.
// Returns 0 when every chain asked for is done or waits for a step by hand,
// the failed job's exit code when one fails, 1 when an output edited since
// make wrote it stops it, 2 for a usage error.
int main(const std::vector<std::string>& args);

} // namespace make
