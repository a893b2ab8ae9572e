// Linked into every fuzz target: the messages of the code under test would
// only slow the fuzzer down, so standard output goes nowhere (libFuzzer
// reports on standard error).
#include <cstdio>

namespace {
const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
}
