// The entry point. A job's own executable (LOCBENCH_JOB names the job) holds
// the code of that job alone; locbench holds every job, listed in
// locbench_jobs.inc, which the build makes from the jobs.cmake lists. Without
// arguments it runs its job and returns 0; a job that fails ends the process
// itself with its message and exit code. Arguments ask the job about itself
// (--help, --check, --version). locbench runs the job whose name it was
// started under (a link of that name to it) as that job's own executable
// does; started as locbench it runs patchpak, lists every job and runs any of
// them by name, "locbench status" tells where the translation stands and
// "locbench make" runs the chains' automatic steps.
// Started in a console window of its own (a double-click on Windows) it waits
// for Enter before that window closes.
#include "jobs/about.hpp"
#include "platform/win.hpp"

#if !defined(LOCBENCH_JOB) && !defined(LOCBENCH_COMMAND)
#include "make/make.hpp"
#include "preview/preview.hpp"
#include "status/status.hpp"
#endif
#if !defined(LOCBENCH_JOB)
#include "platform/host.hpp"
#include "release/release.hpp"
#endif

#define LOCBENCH_NAME_OF(job) #job
#define LOCBENCH_NAME(job) LOCBENCH_NAME_OF(job)
#define LOCBENCH_DECLARE(job) void job();
#define LOCBENCH_RUNNER(job) {LOCBENCH_NAME(job), job},

#ifdef LOCBENCH_JOB
LOCBENCH_DECLARE(LOCBENCH_JOB)
#elif defined(LOCBENCH_COMMAND)
#else
#define LOCBENCH_EACH_JOB LOCBENCH_DECLARE
#include "locbench_jobs.inc"
#undef LOCBENCH_EACH_JOB
#endif

#if !defined(LOCBENCH_JOB) && !defined(LOCBENCH_COMMAND)
namespace {
// The commands that take folders read their arguments whole (on Windows from
// the UTF-16 command line, which argv has passed through a code page).
std::vector<std::string> whole_arguments;
std::vector<std::string> after_command() {
    return whole_arguments.size() > 1 ? std::vector<std::string>(whole_arguments.begin() + 1, whole_arguments.end())
                                      : std::vector<std::string>{};
}
int release_command(const std::vector<std::string>&) { return release::release_main(after_command()); }
int install_command(const std::vector<std::string>&) { return release::install_main(after_command()); }
int uninstall_command(const std::vector<std::string>&) { return release::uninstall_main(after_command()); }
} // namespace
#endif

int main(int argc, char** argv) {
    // Started in a console window of its own, it waits for Enter at its end.
    win::keep_own_window_open();
#ifdef LOCBENCH_JOB
    static const std::vector<about::Runner> runners = {LOCBENCH_RUNNER(LOCBENCH_JOB)};
    return about::main(argc, argv, runners, runners.front().name, false);
#elif defined(LOCBENCH_COMMAND)
    // install.exe and uninstall.exe: a command of their own, its arguments
    // read whole (UTF-16 on Windows).
    return release::LOCBENCH_COMMAND(host::arguments(argc, argv));
#else
    static const std::vector<about::Runner> runners = {
#define LOCBENCH_EACH_JOB LOCBENCH_RUNNER
#include "locbench_jobs.inc"
#undef LOCBENCH_EACH_JOB
    };
    static const std::vector<about::CommandRunner> commands = {
        {&status::description(), status::main},
        {&make::description(), make::main},
        {&preview::description(), preview::main},
        {&release::release_description(), release_command},
        {&release::install_description(), install_command},
        {&release::uninstall_description(), uninstall_command},
    };
    whole_arguments = host::arguments(argc, argv);
    return about::main(argc, argv, runners, "patchpak", true, commands);
#endif
}
