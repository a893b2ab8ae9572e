// `locbench status`: where a translation stands, chain by chain, and what to
// run next. No job: it reads the places the jobs use, as the jobs see them
// (through the same platform layer), and changes nothing.
//
// The code lives above the jobs: it reads their descriptions and the chains
// told beside them (jobs/chains.hpp), shares the readers of the formats and
// the counting of the texts with the jobs, and is linked into locbench
// alone. No job depends on it.
#pragma once

#include "jobs/about.hpp"

#include <string>
#include <vector>

namespace status {

// What `locbench status --help`, the list, the manual page, the completion
// and the README say of it.
const about::Command& description();

// The command line after "status": --json, --verify, --help. Returns the
// exit code: 0 when no problem is listed, 1 when one is, 2 for a usage error.
int main(const std::vector<std::string>& args);

} // namespace status
