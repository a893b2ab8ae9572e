// What `locbench release`, `install` and `uninstall` are about, as data (see
// jobs/about.hpp).
#include "release/release.hpp"

namespace release {

const about::Command& release_description() {
    static const about::Command c = {
        "release",
        "makes a release of a translation for the players: a patch of every game file that the translated folder "
        "changed, the files it added, a manifest with sizes and SHA-256 of both versions, a README.txt and the "
        "install.exe and uninstall.exe a player double-clicks",
        {
            {"ORIGINAL", "an untouched copy of the game's folder"},
            {"TRANSLATED", "the same folder translated"},
            {"OUT", "the release folder: must not exist or be empty; nothing else is written"},
            {"--title TEXT", "what the release is called in its README.txt and manifest (the translated folder's "
                             "name by default)"},
            {"--help", "this description"},
        },
        "every file under ORIGINAL and TRANSLATED (names compared without regard to case); for the PAK, LOD, SND "
        "and VID archives their directories, so that a patch copies every member the translation kept and holds "
        "only the bytes of the members it replaced. It writes into OUT alone: \"manifest.txt\", "
        "\"patches\\\\PATH.vcdiff\" (VCDIFF, which xdelta3 -d applies too), \"added\\\\PATH\", \"README.txt\", and "
        "install.exe and uninstall.exe where they lie beside locbench",
        "one line per released file (patched or added, with the size of its patch) and a summary",
        {
            {"", 0, "the release is written"},
            {"", 1, "a folder cannot be read or written, or nothing differs"},
            {"", 2, "a usage error"},
        },
    };
    return c;
}

const about::Command& install_description() {
    static const about::Command c = {
        "install",
        "puts a release into a player's game: checks every file it changes first (size and SHA-256), then patches "
        "them one by one, each swapped in whole, and keeps what uninstall needs",
        {
            {"RELEASE", "the release folder (install.exe: its own folder)"},
            {"[GAME]", "the game's folder (by default the current folder; install.exe: the folder above its own, or "
                     "the current one)"},
            {"--help", "this description"},
        },
        "the release's manifest, patches and files, all checked before anything is written, and the game's files "
        "it lists: each must be the original (it is patched) or the translated file (it is skipped). It writes each "
        "new file beside the old one, checks it, and swaps it in; a reverse patch of each and its journal go into "
        "the folder \"locbench-uninstall\" of the game. A stopped install leaves every file whole, and the next "
        "run finishes it",
        "one line per file (patched, added), a progress bar on a terminal for big files, and a summary; a refusal "
        "names the file, what was expected and what was found",
        {
            {"", 0, "installed, or already installed"},
            {"", 1, "refused (another version of the game, a damaged release, not enough room, a path that would "
                    "leave the game's folder): nothing was changed; or a file could not be written"},
            {"", 2, "a usage error"},
        },
    };
    return c;
}

const about::Command& uninstall_description() {
    static const about::Command c = {
        "uninstall",
        "takes an installed translation out of a game again: gives back the original bytes of every file the "
        "install changed and removes what it added and its own records",
        {
            {"[GAME]", "the game's folder (by default the current folder; uninstall.exe: the folder above its own, "
                     "or the current one)"},
            {"--help", "this description"},
        },
        "the folder \"locbench-uninstall\" of the game and the files its journal lists. A file that changed since "
        "the install (a game update, another mod) is left as it is, with its records",
        "one line per file (restored, removed, left as it is) and a summary",
        {
            {"", 0, "the game is as it was before the install (or nothing was installed)"},
            {"", 1, "a file changed since the install is left as it is, its records kept; or the records are "
                    "damaged"},
            {"", 2, "a usage error"},
        },
    };
    return c;
}

} // namespace release
