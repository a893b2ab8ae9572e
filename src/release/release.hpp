// The translation reaches the players: `locbench release` makes a release of
// every game file a translation changed, `locbench install` puts it into a
// player's game and `locbench uninstall` takes it out again, byte for byte.
// Commands, not jobs: they take folders as arguments.
#pragma once

#include "jobs/about.hpp"

#include <string>
#include <vector>

namespace release {

const about::Command& release_description();
const about::Command& install_description();
const about::Command& uninstall_description();

// The command lines after the command's name. Each returns its exit code.
int release_main(const std::vector<std::string>& args);
int install_main(const std::vector<std::string>& args);
int uninstall_main(const std::vector<std::string>& args);

// install.exe and uninstall.exe, started with no arguments (a double-click):
// the release is the program's own folder, the game the folder above it, or
// the current one where the files the release lists are.
int install_here(const std::vector<std::string>& args);
int uninstall_here(const std::vector<std::string>& args);

} // namespace release
