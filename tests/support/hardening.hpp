// Damaged inputs and full disks, for every job.
//
// A Scenario is a job with valid inputs made by the test code. Each
// subsystem lists its scenarios in its own tests/<subsystem>_hardening_test.cpp
// and instantiates the two suites below with them:
//
//   INSTANTIATE_TEST_SUITE_P(Pak, Damage, ::testing::ValuesIn(pak_scenarios()), scenario_name);
//   INSTANTIATE_TEST_SUITE_P(Pak, FullDisk, ::testing::ValuesIn(pak_scenarios()), scenario_name);
//
// Damage runs the job on damaged variants of each binary Target: cut at every
// structure boundary and at random points, random bit flips, and every listed
// 32-bit field set to 0xFFFFFFFF, 0x80000000, past the end, 0 and half its
// value. Every run must end with exit code 0, or with a non-zero code and a
// message (the last line of its output); never with a signal, a sanitizer
// report, a hang, or an allocation far beyond the input's size.
//
// FullDisk runs the job once normally, then with a file-size limit below its
// largest output: the job must end with exit code 1 and "Can't write %s",
// every file that existed before must be either as it was or, for a file
// the job replaces, exactly what the normal run made of it, and no
// half-written new content may be left beside the files.
//
// BlockedOutput runs the job once normally, then again with one of its
// outputs blocked: a folder where it writes a new file, a read-only file
// where it rewrites one. The job must stop where it creates that output,
// with its creation message ("Can't open", "Can't create ...") as the last
// line, having printed only what the normal run printed before it, and must
// leave the blocked name as it was.
//
// LOCBENCH_DAMAGE_ROUNDS (default 1) scales the number of random variants;
// LOCBENCH_DAMAGE_SEED (default fixed) changes them.
#pragma once

#include "support/jobtest.hpp"

#include <functional>
#include <string>
#include <vector>

struct Target {
    std::string path;               // Windows path of a binary input
    std::vector<size_t> boundaries; // offsets where its structures begin or end
    std::vector<size_t> fields;     // offsets of its 32-bit counts, sizes and offsets
};

struct Scenario {
    std::string name; // letters, digits and '_' only: part of the test's name
    std::string job;
    std::string cwd = "c:\\";
    std::function<void(JobTest&)> setup; // makes the valid inputs
    std::vector<Target> targets;         // the binary inputs to damage
    std::vector<int> quiet_codes = {};   // non-zero exit codes the job ends with without a message
    std::vector<std::string> args = {};  // the command line (a locbench command with its arguments)
};

class Damage : public JobTest, public ::testing::WithParamInterface<Scenario> {};
class FullDisk : public JobTest, public ::testing::WithParamInterface<Scenario> {};
class BlockedOutput : public JobTest, public ::testing::WithParamInterface<Scenario> {};

std::string scenario_name(const ::testing::TestParamInfo<Scenario>& info);
// How a scenario shows in test listings: its name.
void PrintTo(const Scenario& s, std::ostream* os);
