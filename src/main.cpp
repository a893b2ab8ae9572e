// The entry point runs one job, chosen when the program is built (LOCBENCH_JOB
// names it), and returns 0. Jobs take no arguments; a job that fails ends the
// process itself with its message and exit code.
#ifndef LOCBENCH_JOB
#define LOCBENCH_JOB patchpak
#endif

void LOCBENCH_JOB();

int main() {
    LOCBENCH_JOB();
    return 0;
}
