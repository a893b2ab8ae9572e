// `locbench preview`: texts drawn with a game font's own glyphs, as the game
// draws them, into a PNG picture; how wide each text is, which texts pass the
// room they have, and which characters the font cannot draw.
//
// The code lives above the jobs, like status: it shares the font reader and
// the colour map of the font jobs' images (formats/), and the readers of the
// translation lists, and is linked into locbench alone.
#pragma once

#include "jobs/about.hpp"

#include <string>
#include <vector>

namespace preview {

// What `locbench preview --help`, the list, the manual page, the completion
// and the README say of it.
const about::Command& description();

// The command line after "preview". Returns the exit code (see description()).
int main(const std::vector<std::string>& args);

} // namespace preview
