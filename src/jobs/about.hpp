// What each job is about, told once as data: its purpose, the fixed files and
// folders it reads and writes, what it prints, the messages and exit codes it
// can end with, and its place in its workflow. The answers of the command
// line (--help, --check, --list), the job tables of the README, the manual
// page and the shell completion are all made from these descriptions.
//
// Each subsystem describes its jobs in the about.cpp of its own folder. A
// description is data only: the code of a job is linked only into the
// executables that run it (see main.cpp).
#pragma once

#include <string>
#include <vector>

namespace about {

// The workflows the jobs belong to, in the order they are listed.
enum class Workflow { Pak, Lod, Bitmaps, Fonts, SoundVideo, Texts };

struct WorkflowInfo {
    Workflow id;
    const char* key;   // a short name (README block markers)
    const char* title; // as headings name it
};
const std::vector<WorkflowInfo>& workflows();

// A fixed place a job uses.
enum class Kind {
    File,   // one file of a fixed name
    Folder, // a folder whose files the job reads or writes by names it forms
    Search, // the files a wildcard search finds (the pattern's folder is fixed)
};

enum Use { Reads = 1, Writes = 2, Rewrites = Reads | Writes };

struct Place {
    Kind kind;
    int use;          // Reads, Writes or Rewrites (read, then replaced)
    const char* path; // as the job names it; a folder ends with a backslash
    const char* mode; // how the job opens the files: "rb", "wt", ...
    const char* what; // what the job finds or leaves there
    // Folder: the names of the files in it, as a pattern for people
    // ("NNNN_name.zl"). Search: true when a search that finds nothing ends
    // the job with a failure.
    const char* names = nullptr;
    bool needs_match = false;
};

struct Message {
    const char* text; // as printed, with PATH, NAME, WHAT for what varies; "" for none
    int code;         // the exit code it ends with
    const char* when;
    bool common = false; // one of the messages that many jobs share
};

// The messages that many jobs end with.
extern const Message kCantOpen;        // "Can't open"
extern const Message kCantCreateFile;  // "Can't create file PATH", a per-entry output
extern const Message kCantWrite;       // "Can't write PATH"
extern const Message kCantReplace;     // "Can't replace PATH"
extern const Message kDamaged;         // "Damaged file PATH: WHAT"
extern const Message kOutOfMemory;     // "Out of memory"

struct Job {
    const char* name;
    Workflow workflow;
    const char* purpose; // one sentence, lower case, no full stop
    std::vector<Place> places;
    const char* prints;  // progress lines while it works; "" for none
    std::vector<Message> ends; // besides exit code 0 when the job is done
    const char* before;  // the job before it in its workflow, and the work outside between
    const char* after;   // the work outside after it, and the job after that
};

// A command of locbench besides the jobs (`locbench status`): no job, but
// described as the jobs are, so that its --help, the list, the manual page,
// the completion and the README come from the same data.
struct Option {
    const char* name; // "--json"
    const char* what;
};

struct Command {
    const char* name;
    const char* purpose; // one sentence, lower case, no full stop
    std::vector<Option> options;
    const char* looks;   // what it reads, and what it never does
    const char* prints;
    std::vector<Message> ends; // its exit codes
    const char* usage = nullptr; // its arguments, where it takes more than its options
};

// What `locbench COMMAND --help` prints.
void help(const Command& c);
// The README's table of the commands (Markdown), between the lines
// "<!-- commands -->" and "<!-- end commands -->".
std::string readme_commands(const std::vector<const Command*>& commands);

// The descriptions, subsystem by subsystem.
const std::vector<Job>& pak_jobs();
const std::vector<Job>& lod_jobs();
const std::vector<Job>& bitmaps_jobs();
const std::vector<Job>& fonts_jobs();
const std::vector<Job>& sndvid_jobs();
const std::vector<Job>& texts_jobs();

// Every job, grouped by workflow.
const std::vector<const Job*>& jobs();
const Job* find(const std::string& name);

// How --help names a place: the path as the job names it, a folder with the
// names of its files ("...\\icons\\NNNN_name.zl").
std::string shown(const Place& p);
// How --help names a use: "read", "written" or "rewritten".
const char* use_word(int use);

// The README's job table of a workflow (Markdown, one line per row).
std::string readme_table(Workflow w);
// The README with the table of every workflow made anew between its lines
// "<!-- jobs KEY -->" and "<!-- end jobs -->", and the table of `commands`
// between "<!-- commands -->" and "<!-- end commands -->"; false when a
// workflow (or, with commands, their table) has no such place in it.
bool readme_with_tables(const std::string& readme, std::string* out,
                        const std::vector<const Command*>& commands = {});

// The code of a job, by its name.
struct Runner {
    const char* name;
    void (*run)();
};

// The name a program was started under, as a job would be named: the last
// component of argv[0], without a ".exe" in any letter case.
std::string started_as(const char* argv0);

// The command line of an executable that holds the code of `runners`. The
// job it runs is the one of the name it was started under (a job's own
// executable, or a link of that name to locbench), when it holds that job's
// code; otherwise, for the dispatcher (locbench, which holds every job), the
// job `fallback`, and the first argument may also be --list or the name of
// any job; otherwise its first job. Without arguments the job is run, and
// its exit code is returned as before; arguments ask it about itself.
//
// The dispatcher also runs `commands`: "locbench COMMAND ARGS..." calls its
// run with the arguments after its name and returns what that returns.
struct CommandRunner {
    const Command* about;
    int (*run)(const std::vector<std::string>& args);
};
int main(int argc, char** argv, const std::vector<Runner>& runners, const char* fallback, bool dispatcher,
         const std::vector<CommandRunner>& commands = {});

} // namespace about
