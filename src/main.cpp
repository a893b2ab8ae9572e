// The entry point runs one job, chosen when the program is built (LOCBENCH_JOB
// names it), and returns 0. Jobs take no arguments; a job that fails ends the
// process itself with its message and exit code.
#include <cstdio>
#include <new>
#include <stdexcept>

#ifndef LOCBENCH_JOB
#define LOCBENCH_JOB patchpak
#endif

void LOCBENCH_JOB();

int main() {
    try {
        LOCBENCH_JOB();
    } catch (const std::bad_alloc&) {
        // A buffer the job needs cannot be had: end in order, with a message.
        std::printf("Out of memory\n");
        return 1;
    } catch (const std::length_error&) {
        std::printf("Out of memory\n");
        return 1;
    }
    return 0;
}
