// Writes the manual page locbench(1) and the bash completion of locbench, and
// the file details of each Windows .exe, from the jobs' own descriptions, the
// same that --help, --list and the README's job tables are made from:
//
//   locbench_docs man LINK_DIR FILE         (LINK_DIR: where the job links are installed)
//   locbench_docs bash-completion FILE
//   locbench_docs windows-resource NAME MANIFEST LICENSE FILE
//
// windows-resource writes the resource script of NAME.exe (a job, or locbench
// itself) for windres: the version resource that Explorer shows under
// Properties, Details (the product locbench, the job's name and purpose as
// the file's description, the version that --version tells, the copyright
// line of LICENSE) and the application manifest MANIFEST. The build of the
// Windows executables makes this program for the build machine first.
#include "jobs/about.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#ifndef LOCBENCH_VERSION
#define LOCBENCH_VERSION "unknown"
#endif

namespace {

// Text for roff: backslashes and hyphens as themselves, and a line that
// cannot be taken for a request.
std::string roff(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\') out += "\\(rs";
        else if (c == '-') out += "\\-";
        else out += c;
    }
    return out;
}

// One line of running text.
std::string line(const std::string& s) { return "\\&" + roff(s) + "\n"; }

std::string sentence(const char* s) {
    std::string out = s;
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = char(out[0] - 'a' + 'A');
    return out + ".";
}

std::string message(const about::Message& m) {
    std::string out = std::to_string(m.code) + "\n";
    if (*m.text) out += "\\&\"" + roff(m.text) + "\": " + roff(m.when) + "\n";
    else out += line(std::string("with no message: ") + m.when);
    return out;
}

std::string job_section(const about::Job& j, const std::string& workflow) {
    std::string out = ".SS " + std::string(j.name) + "\n" + line(sentence(j.purpose));
    out += ".PP\n\\&Files and folders, each with how the job opens its files:\n.RS\n";
    for (const about::Place& p : j.places) {
        std::string how = p.mode;
        if (p.kind == about::Kind::Search) how += ", a search";
        out += ".TP\n\\&" + roff(about::use_word(p.use)) + " \\fB" + roff(about::shown(p)) + "\\fR (" + roff(how) +
               ")\n";
        std::string what = p.what;
        if (p.kind == about::Kind::Search && p.needs_match) what += "; finding none ends the job";
        out += line(what);
    }
    out += ".RE\n.PP\n";
    out += line(std::string("While it works it prints ") + (*j.prints ? j.prints : "nothing") + ".");
    out += ".PP\n\\&Exit status:\n.RS\n.TP\n0\n\\&when its work is done\n";
    for (const about::Message& m : j.ends) out += ".TP\n" + message(m);
    out += ".TP\n" + message(about::kOutOfMemory) + ".RE\n";
    out += ".PP\n" + line("Workflow: " + workflow + ".") + ".br\n" + line(std::string("Before: ") + j.before + ".") +
           ".br\n" + line(std::string("After: ") + j.after + ".");
    return out;
}

std::string man_page(const std::string& link_dir) {
    const std::string opts = "[\\fB\\-\\-help\\fR | \\fB\\-\\-check\\fR | \\fB\\-\\-version\\fR]";
    std::string out =
        ".\\\" Made by tools/locbench_docs from the jobs' own descriptions.\n"
        ".TH LOCBENCH 1 \"\" \"locbench " LOCBENCH_VERSION "\" \"User Commands\"\n"
        // Paths and job names are never broken at a hyphen, lines not stretched.
        ".nh\n"
        ".ad l\n"
        ".SH NAME\n"
        "locbench \\- take apart and rebuild game resource files for translation\n"
        ".SH SYNOPSIS\n"
        ".nf\n"
        "\\fBlocbench\\fR [\\fB\\-\\-list\\fR | \\fB\\-\\-help\\fR | \\fB\\-\\-check\\fR | \\fB\\-\\-version\\fR]\n"
        "\\fBlocbench\\fR \\fIJOB\\fR " + opts + "\n" +
        "\\fB" + roff(link_dir) + "/\\fIJOB\\fR " + opts + "\n"
        ".fi\n"
        ".SH DESCRIPTION\n";
    out += line("locbench takes apart, converts and reassembles the resource files of two games (the LOD, SND "
                 "and VID archives and FNT fonts of the first game series, the PAK archive of the second game) "
                 "so that their texts, fonts, images, sounds and videos can be replaced by translated versions.");
    out += ".PP\n" +
           line("It is a set of jobs. A job is one complete conversion with fixed inputs and outputs: it opens "
                "the game files and working folders at fixed Windows paths, prints its progress on standard "
                "output, writes its outputs and ends. Jobs take no arguments, read no configuration and keep no "
                "state between runs; an argument only asks a job about itself.") +
           ".PP\n" +
           line("locbench without arguments runs the PAK patch job patchpak; locbench JOB runs any job. Each "
                "job can also be started by its own name: " + link_dir +
                " holds a link named after each job to locbench, which runs the job it was started as. To run "
                "the jobs by their names, put that folder on the PATH, for example with") +
           ".RS\n.PP\n\\fBexport PATH=\"$PATH:" + roff(link_dir) + "\"\\fR\n.RE\n.PP\n" +
           line("in ~/.bashrc.") + ".PP\n" +
           line("The jobs name their files with Windows paths (c:\\games\\Brassjaw\\main\\pak0.pak). They are "
                "found as in a Wine prefix: x:\\rest is $WINEPREFIX/dosdevices/x:/rest, each component matched "
                "without regard to letter case, and a relative path starts at the current folder. Text files "
                "have CR LF line ends on disk. Outputs that replace a file are put in its place in one step, "
                "once they are complete.");
    out += ".SH OPTIONS\n"
           ".TP\n\\fB\\-\\-list\\fR\n" + line("Lists every job, one line each, grouped by workflow (locbench only).") +
           ".TP\n\\fB\\-\\-help\\fR, \\fB\\-h\\fR, \\fB/?\\fR\n" +
           line("Tells what the job does, every fixed file and folder it reads and writes, as the job names it "
                "and where that lies on this machine, what it prints, the messages and exit codes it can end "
                "with, and its place in its workflow.") +
           ".TP\n\\fB\\-\\-check\\fR\n" +
           line("Looks whether the job's fixed files and folders are there, one line each: present, with the "
                "path as found and its size (a search: its number of matches; an output: the folder it goes "
                "into), or missing, with the path looked for and the deepest folder of it that exists. Exits "
                "with 0 when the job would find everything it needs, else with 1.") +
           ".TP\n\\fB\\-\\-version\\fR\n" + line("Tells the version and the platform it was built for.") + ".PP\n" +
           line("With an option the job does no work and changes nothing.");

    out += ".SH JOBS\n" + line("The jobs, grouped by workflow; each is described below.");
    for (const about::WorkflowInfo& w : about::workflows()) {
        out += ".TP\n\\fB" + roff(w.title) + "\\fR\n";
        std::string names;
        for (const about::Job* j : about::jobs())
            if (j->workflow == w.id) names += (names.empty() ? "" : ", ") + std::string(j->name);
        out += line(names);
    }
    for (const about::WorkflowInfo& w : about::workflows())
        for (const about::Job* j : about::jobs())
            if (j->workflow == w.id) out += job_section(*j, w.title);

    out += ".SH \"EXIT STATUS\"\n" + line("0 when the job's work is done. The messages that many jobs end with, "
                                          "on standard output:") +
           ".RS\n";
    for (const about::Message* m : {&about::kCantOpen, &about::kCantCreateFile, &about::kCantWrite,
                                    &about::kCantReplace, &about::kDamaged, &about::kOutOfMemory})
        out += ".TP\n" + message(*m);
    out += ".RE\n.PP\n" +
           line("Single jobs add their own messages and codes, named in their sections above. A wrong argument "
                "prints one usage line on standard error and exits with 2, running nothing.");
    out += ".SH ENVIRONMENT\n.TP\n\\fBWINEPREFIX\\fR\n" +
           line("The Wine prefix whose drives hold the Windows paths; $HOME/.wine when unset or empty.");
    out += ".SH FILES\n.TP\n\\fB" + roff(link_dir) + "/\\fR\n" +
           line("A link named after each job to locbench.");
    out += ".SH \"SEE ALSO\"\n\\fBwine\\fR(1)\n";
    return out;
}

std::string bash_completion() {
    std::string names;
    for (const about::Job* j : about::jobs()) names += (names.empty() ? "" : " ") + std::string(j->name);
    return "# bash completion of locbench, made by tools/locbench_docs from the jobs' own descriptions:\n"
           "# the options, and the job names with the options that ask a job about itself.\n"
           "_locbench()\n"
           "{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]}\n"
           "    local jobs='" + names + "'\n"
           "    local words=\n"
           "    if [[ $COMP_CWORD -eq 1 ]]; then\n"
           "        words=\"--list --help --check --version $jobs\"\n"
           "    elif [[ $COMP_CWORD -eq 2 && \" $jobs \" == *\" ${COMP_WORDS[1]} \"* ]]; then\n"
           "        words='--help --check --version'\n"
           "    fi\n"
           "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
           "} &&\n"
           "    complete -F _locbench locbench\n";
}

// A text as a string of a resource script: in Windows-1251, as every text of
// this system (the script says so to windres), a quotation mark doubled and
// a backslash escaped.
std::string rc_string(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += "\"\"";
        else if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out + "\"";
}

// "1.2.3" as the four numbers of a version resource: "1,2,3,0".
std::string version_numbers(const std::string& version) {
    std::string out;
    int parts = 0;
    for (size_t at = 0; parts < 4 && at <= version.size(); ++parts) {
        size_t dot = version.find('.', at);
        if (dot == std::string::npos) dot = version.size();
        out += (parts ? "," : "") + std::to_string(std::atoi(version.substr(at, dot - at).c_str()));
        at = dot + 1;
    }
    for (; parts < 4; ++parts) out += ",0";
    return out;
}

// False, with a message, when there is no such job or LICENSE has no
// copyright line.
bool windows_resource(const std::string& name, const std::string& manifest, const std::string& license,
                      std::string* out) {
    std::string what;
    if (name == "locbench") {
        what = "locbench: every job in one program; it runs patchpak, or the job its first argument names";
    } else if (const about::Job* j = about::find(name)) {
        what = name + ": " + j->purpose;
    } else {
        std::fprintf(stderr, "locbench_docs: no job is named %s\n", name.c_str());
        return false;
    }
    std::ifstream in(license, std::ios::binary);
    std::string copyright;
    for (std::string line; copyright.empty() && std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("Copyright (c) ", 0) == 0) copyright = line;
    }
    if (copyright.empty()) {
        std::fprintf(stderr, "locbench_docs: %s has no \"Copyright (c)\" line\n", license.c_str());
        return false;
    }
    const std::string numbers = version_numbers(LOCBENCH_VERSION);
    *out = "// The file details of " + name + ".exe, made by tools/locbench_docs from the jobs' own descriptions.\n"
           "#pragma code_page(1251)\n"
           "1 VERSIONINFO\n"
           "FILEVERSION " + numbers + "\n"
           "PRODUCTVERSION " + numbers + "\n"
           "FILEFLAGSMASK 0x3f\n"
           "FILEFLAGS 0x0\n"
           "FILEOS 0x40004\n" // VOS_NT_WINDOWS32
           "FILETYPE 0x1\n"   // VFT_APP
           "FILESUBTYPE 0x0\n"
           "BEGIN\n"
           "  BLOCK \"StringFileInfo\"\n"
           "  BEGIN\n"
           "    BLOCK \"040904B0\"\n" // U.S. English, Unicode
           "    BEGIN\n"
           "      VALUE \"ProductName\", \"locbench\"\n"
           "      VALUE \"ProductVersion\", " + rc_string(LOCBENCH_VERSION) + "\n"
           "      VALUE \"FileDescription\", " + rc_string(what) + "\n"
           "      VALUE \"FileVersion\", " + rc_string(LOCBENCH_VERSION) + "\n"
           "      VALUE \"InternalName\", " + rc_string(name) + "\n"
           "      VALUE \"OriginalFilename\", " + rc_string(name + ".exe") + "\n"
           "      VALUE \"LegalCopyright\", " + rc_string(copyright) + "\n"
           "    END\n"
           "  END\n"
           "  BLOCK \"VarFileInfo\"\n"
           "  BEGIN\n"
           "    VALUE \"Translation\", 0x409, 1200\n"
           "  END\n"
           "END\n"
           // CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST
           "1 24 " + rc_string(manifest) + "\n";
    return true;
}

int usage() {
    std::fprintf(stderr, "usage: locbench_docs man LINK_DIR FILE | locbench_docs bash-completion FILE | "
                         "locbench_docs windows-resource NAME MANIFEST LICENSE FILE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string what = argv[1];
    std::string text;
    const char* file = nullptr;
    if (what == "man" && argc == 4) {
        text = man_page(argv[2]);
        file = argv[3];
    } else if (what == "bash-completion" && argc == 3) {
        text = bash_completion();
        file = argv[2];
    } else if (what == "windows-resource" && argc == 6) {
        if (!windows_resource(argv[2], argv[3], argv[4], &text)) return 1;
        file = argv[5];
    } else {
        return usage();
    }
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    f << text;
    f.close();
    if (!f) {
        std::fprintf(stderr, "locbench_docs: cannot write %s\n", file);
        return 1;
    }
    return 0;
}
