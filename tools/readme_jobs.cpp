// Writes the job tables of the README anew from the jobs' own descriptions:
//
//   readme_jobs README.md
//
// Each table stands between the lines "<!-- jobs KEY -->" and
// "<!-- end jobs -->", the table of `locbench status` between
// "<!-- commands -->" and "<!-- end commands -->"; everything else in the
// file stays as it is.
#include "jobs/about.hpp"
#include "release/release.hpp"
#include "make/make.hpp"
#include "preview/preview.hpp"
#include "status/status.hpp"

#include <cstdio>
#include <fstream>
#include <iterator>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: readme_jobs README.md\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "readme_jobs: cannot read %s\n", argv[1]);
        return 1;
    }
    std::string out;
    if (!about::readme_with_tables(readme, &out, {&status::description(), &make::description(), &preview::description(), &release::release_description(), &release::install_description(),
                                                   &release::uninstall_description()})) {
        std::fprintf(stderr, "readme_jobs: %s lacks the marker lines of a workflow's table\n", argv[1]);
        return 1;
    }
    if (out == readme) return 0;
    std::ofstream f(argv[1], std::ios::binary | std::ios::trunc);
    f << out;
    f.close();
    if (!f) {
        std::fprintf(stderr, "readme_jobs: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: job tables written anew\n", argv[1]);
    return 0;
}
