// Writes the resource script of a Windows .exe for windres, from the jobs'
// own descriptions, the same that --help, --list and the README's job tables
// are made from:
//
//   locbench_rc NAME MANIFEST LICENSE FILE
//
// The script holds the version resource that Explorer shows under
// Properties, Details (the product locbench, the name and purpose of the job
// NAME, or of locbench itself, as the file's description, the version that
// --version tells, the copyright line of LICENSE) and the application
// manifest MANIFEST. The build of the Windows executables makes this program
// for the build machine first; it needs the descriptions alone.
#include "jobs/about.hpp"
#include "release/release.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#ifndef LOCBENCH_VERSION
#define LOCBENCH_VERSION "unknown"
#endif

namespace {

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
        what = "locbench: every job in one program; it runs patchpak, the job its first argument names, or status";
    } else if (name == "install" || name == "uninstall") {
        // What a player double-clicks in a release.
        const about::Command& c =
            name == "install" ? release::install_description() : release::uninstall_description();
        what = name + ": " + c.purpose;
    } else if (const about::Job* j = about::find(name)) {
        what = name + ": " + j->purpose;
    } else {
        std::fprintf(stderr, "locbench_rc: no job is named %s\n", name.c_str());
        return false;
    }
    std::ifstream in(license, std::ios::binary);
    std::string copyright;
    for (std::string line; copyright.empty() && std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("Copyright (c) ", 0) == 0) copyright = line;
    }
    if (copyright.empty()) {
        std::fprintf(stderr, "locbench_rc: %s has no \"Copyright (c)\" line\n", license.c_str());
        return false;
    }
    const std::string numbers = version_numbers(LOCBENCH_VERSION);
    *out = "// The file details of " + name + ".exe, made by tools/locbench_rc from the jobs' own descriptions.\n"
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: locbench_rc NAME MANIFEST LICENSE FILE\n");
        return 2;
    }
    std::string text;
    if (!windows_resource(argv[1], argv[2], argv[3], &text)) return 1;
    std::ofstream f(argv[4], std::ios::binary | std::ios::trunc);
    f << text;
    f.close();
    if (!f) {
        std::fprintf(stderr, "locbench_rc: cannot write %s\n", argv[4]);
        return 1;
    }
    return 0;
}
