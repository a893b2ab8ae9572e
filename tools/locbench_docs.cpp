// Writes the manual page locbench(1) and the bash completion of locbench from
// the jobs' own descriptions, the same that --help, --list and the README's
// job tables are made from; and the pictures of the chains, drawn with
// Graphviz's dot from the chains' data:
//
//   locbench_docs man LINK_DIR FILE         (LINK_DIR: where the job links are installed)
//   locbench_docs bash-completion FILE
//   locbench_docs pictures DIR              (DIR/KEY.dot and DIR/KEY.svg for each chain)
#include "jobs/about.hpp"
#include "jobs/chains.hpp"
#include "release/release.hpp"
#include "make/make.hpp"
#include "preview/preview.hpp"
#include "status/status.hpp"

#include <cstdlib>

#include <cstdio>
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

// The section of a command that is no job (status, preview).
std::string command_section(const about::Command& c) {
    std::string out = ".SH \"LOCBENCH " + roff(c.name) + "\"\n" + line("locbench " + std::string(c.name) + " " +
                                                                         sentence(c.purpose));
    out += ".PP\n\\&Options:\n.RS\n";
    for (const about::Option& o : c.options) out += ".TP\n\\fB" + roff(o.name) + "\\fR\n" + line(sentence(o.what));
    out += ".RE\n.PP\n" + line("What it looks at: " + std::string(c.looks) + ".") + ".PP\n" +
           line("It prints " + std::string(c.prints) + ".") + ".PP\n\\&Exit status:\n.RS\n";
    for (const about::Message& m : c.ends) out += ".TP\n" + std::to_string(m.code) + "\n" + line(m.when);
    return out + ".RE\n";
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
        "\\fBlocbench status\\fR [\\fB\\-\\-verify\\fR] [\\fB\\-\\-verbose\\fR] [\\fB\\-\\-json\\fR] [\\fB\\-\\-help\\fR]\n" +
        "\\fBlocbench make\\fR [\\fB\\-n\\fR] [\\fB\\-k\\fR] [\\fB\\-\\-force\\fR] [\\fICHAIN\\fR...] [\\fB\\-\\-help\\fR]\n" +
        "\\fBlocbench release\\fR [\\fB\\-\\-title\\fR \\fITEXT\\fR] \\fIORIGINAL\\fR \\fITRANSLATED\\fR \\fIOUT\\fR\n" +
        "\\fBlocbench install\\fR \\fIRELEASE\\fR [\\fIGAME\\fR]\n" +
        "\\fBlocbench uninstall\\fR [\\fIGAME\\fR]\n" +
        "\\fBlocbench preview\\fR " + roff(preview::description().usage) + "\n" +
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

    out += command_section(status::description());
    out += command_section(make::description());
    for (const about::Command* c : {&release::release_description(), &release::install_description(),
                                    &release::uninstall_description()})
        out += command_section(*c);
    out += command_section(preview::description());

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
    const about::Command& status = status::description();
    const about::Command& make = make::description();
    std::string status_options, make_options;
    for (const about::Option& o : status.options)
        status_options += (status_options.empty() ? "" : " ") + std::string(o.name);
    for (const about::Option& o : make.options)
        if (o.name[0] == '-') make_options += std::string(o.name) + " ";
    for (const about::WorkflowInfo& w : about::workflows())
        make_options += std::string(w.key) + (&w == &about::workflows().back() ? "" : " ");
    const about::Command& preview = preview::description();
    std::string preview_options;
    for (const about::Option& o : preview.options) {
        std::string name = o.name;
        preview_options += (preview_options.empty() ? "" : " ") + name.substr(0, name.find(' '));
    }
    return "# bash completion of locbench, made by tools/locbench_docs from the jobs' own descriptions:\n"
           "# the options, the job names with the options that ask a job about itself, and\n"
           "# the commands with their options (make: and the chains; preview: and files;\n"
           "# release, install, uninstall: and folders).\n"
           "_locbench()\n"
           "{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]}\n"
           "    local jobs='" + names + "'\n"
           "    local words=\n"
           "    if [[ $COMP_CWORD -eq 1 ]]; then\n"
           "        words=\"--list --help --check --version " + status.name + " " + make.name + " " + preview.name + " release install uninstall $jobs\"\n"
           "    elif [[ $COMP_CWORD -eq 2 && \" $jobs \" == *\" ${COMP_WORDS[1]} \"* ]]; then\n"
           "        words='--help --check --version'\n"
           "    elif [[ $COMP_CWORD -ge 2 && ${COMP_WORDS[1]} == " + status.name + " ]]; then\n"
           "        words='" + status_options + "'\n"
           "    elif [[ $COMP_CWORD -ge 2 && ${COMP_WORDS[1]} == " + make.name + " ]]; then\n"
           "        words='" + make_options + "'\n"
           "    elif [[ $COMP_CWORD -ge 2 && ${COMP_WORDS[1]} == release ]]; then\n"
           "        words='--title --help'; compopt -o dirnames 2>/dev/null\n"
           "    elif [[ $COMP_CWORD -ge 2 && ( ${COMP_WORDS[1]} == install || ${COMP_WORDS[1]} == uninstall ) ]]; then\n"
           "        words='--help'; compopt -o dirnames 2>/dev/null\n"
           "    elif [[ $COMP_CWORD -ge 2 && ${COMP_WORDS[1]} == " + preview.name + " ]]; then\n"
           "        if [[ $cur == -* ]]; then\n"
           "            words='" + preview_options + "'\n"
           "        else\n"
           "            COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "            return\n"
           "        fi\n"
           "    fi\n"
           "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
           "} &&\n"
           "    complete -F _locbench locbench\n";
}

int usage() {
    std::fprintf(stderr, "usage: locbench_docs man LINK_DIR FILE | locbench_docs bash-completion FILE | "
                         "locbench_docs pictures DIR\n");
    return 2;
}

bool write_file(const std::string& file, const std::string& text) {
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    f << text;
    f.close();
    if (!f) std::fprintf(stderr, "locbench_docs: cannot write %s\n", file.c_str());
    return bool(f);
}

// Each chain's Graphviz source as DIR/KEY.dot, and its picture as
// DIR/KEY.svg, drawn by dot with the source's stamp in a comment.
int pictures(const std::string& dir) {
    for (const chains::Chain& c : chains::chains()) {
        std::string key;
        for (const about::WorkflowInfo& w : about::workflows())
            if (w.id == c.workflow) key = w.key;
        const std::string source = chains::dot(c), base = dir + "/" + key;
        if (!write_file(base + ".dot", source)) return 1;
        std::string command = "dot \"-Gcomment=" + chains::stamp(source) + "\" -Tsvg \"" + base + ".dot\" -o \"" +
                              base + ".svg\"";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "locbench_docs: %s failed (Graphviz: scripts/deps.sh --docs installs it)\n",
                         command.c_str());
            return 1;
        }
        std::printf("%s.svg\n", base.c_str());
    }
    return 0;
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
    } else if (what == "pictures" && argc == 3) {
        return pictures(argv[2]);
    } else {
        return usage();
    }
    return write_file(file, text) ? 0 : 1;
}
