// The entry point runs one job, chosen when the program is built (LOCBENCH_JOB
// names it). Without arguments it runs the job and returns 0; a job that
// fails ends the process itself with its message and exit code. Arguments
// ask the job about itself (--help, --check, --version); the locbench
// executable (LOCBENCH_DISPATCH) also lists every job and runs any of them.
#include "jobs/about.hpp"

#ifndef LOCBENCH_JOB
#define LOCBENCH_JOB patchpak
#endif
#ifndef LOCBENCH_DISPATCH
#define LOCBENCH_DISPATCH 0
#endif

#define LOCBENCH_NAME_OF(job) #job
#define LOCBENCH_NAME(job) LOCBENCH_NAME_OF(job)

void LOCBENCH_JOB();

int main(int argc, char** argv) {
    return about::main(argc, argv, LOCBENCH_NAME(LOCBENCH_JOB), LOCBENCH_JOB, LOCBENCH_DISPATCH != 0);
}
