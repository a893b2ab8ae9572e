// The entry point. A job's own executable (LOCBENCH_JOB names the job) holds
// the code of that job alone; locbench holds every job, listed in
// locbench_jobs.inc, which the build makes from the jobs.cmake lists. Without
// arguments it runs its job and returns 0; a job that fails ends the process
// itself with its message and exit code. Arguments ask the job about itself
// (--help, --check, --version). locbench runs the job whose name it was
// started under (a link of that name to it) as that job's own executable
// does; started as locbench it runs patchpak, lists every job and runs any of
// them by name, and "locbench status" tells where the translation stands.
// Started in a console window of its own (a double-click on Windows) it waits
// for Enter before that window closes.
#include "jobs/about.hpp"
#include "platform/win.hpp"

#ifndef LOCBENCH_JOB
#include "preview/preview.hpp"
#include "status/status.hpp"
#endif

#define LOCBENCH_NAME_OF(job) #job
#define LOCBENCH_NAME(job) LOCBENCH_NAME_OF(job)
#define LOCBENCH_DECLARE(job) void job();
#define LOCBENCH_RUNNER(job) {LOCBENCH_NAME(job), job},

#ifdef LOCBENCH_JOB
LOCBENCH_DECLARE(LOCBENCH_JOB)
#else
#define LOCBENCH_EACH_JOB LOCBENCH_DECLARE
#include "locbench_jobs.inc"
#undef LOCBENCH_EACH_JOB
#endif

int main(int argc, char** argv) {
    // Started in a console window of its own, it waits for Enter at its end.
    win::keep_own_window_open();
#ifdef LOCBENCH_JOB
    static const std::vector<about::Runner> runners = {LOCBENCH_RUNNER(LOCBENCH_JOB)};
    return about::main(argc, argv, runners, runners.front().name, false);
#else
    static const std::vector<about::Runner> runners = {
#define LOCBENCH_EACH_JOB LOCBENCH_RUNNER
#include "locbench_jobs.inc"
#undef LOCBENCH_EACH_JOB
    };
    static const std::vector<about::CommandRunner> commands = {{&status::description(), status::main},
                                                                {&preview::description(), preview::main}};
    return about::main(argc, argv, runners, "patchpak", true, commands);
#endif
}
