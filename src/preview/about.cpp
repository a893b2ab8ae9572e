// What `locbench preview` is about, as data (see jobs/about.hpp).
#include "preview/preview.hpp"

namespace preview {

const about::Command& description() {
    static const about::Command c = {
        "preview",
        "draws texts in a game font exactly as its glyph records say, into a PNG picture: how wide each text is, "
        "which texts pass the room they have, and which characters the font cannot draw",
        {
            {"--from FILE", "the texts of a file instead of the command line: a PO file (its translations), "
                            "dumptodo's list as a translator filled it in (the translations), a ready list or a "
                            "plain text file (one text a line; \"@\", the lists' masked line break, starts a new "
                            "line), UTF-8 or Windows-1251"},
            {"--width N", "the room of a line in pixels: drawn as a line in the picture; every text whose widest "
                          "line passes it is listed with its width"},
            {"-o PICTURE", "where the picture goes; without it, beside the font, named after it (comic.fnt.png)"},
            {"--help", "this description"},
        },
        "FONT, an FNT font, or the calig font file (calig.fn1, or a calig.fnt without FNT tables) with its built-in "
        "tables (paths are the system's own, or Windows paths with a drive, found as the jobs find their files), "
        "and the texts: TEXT..., one a row of the picture (UTF-8 or Windows-1251; a \"~\" or a line feed "
        "starts a new line within a text), or those of --from FILE. It writes the picture alone, which takes the "
        "place of one of its name only once it is complete. A picture holds at most 8192 rows of pixels: with more "
        "texts it shows first those that pass the room or lack a glyph, then the others in order, and says how "
        "many it shows",
        "without --width, the width of each text in pixels beside it (the sum of the left bearings, widths and "
        "right bearings of its widest line); with --width, the texts past the room with their widths; then each "
        "text that holds a character the font cannot draw (no glyph, a width of 0, an empty bitmap) with that "
        "character, which the picture shows as a red box; then where the picture went",
        {
            {"", 0, "every text fits its room and every character is drawn"},
            {"", 1, "a text passes the room, or holds a character the font cannot draw"},
            {"", 2, "a usage error"},
            {"", 3, "the font or the file of texts cannot be read or is damaged, or the picture cannot be written"},
        },
        "FONT [--width N] [-o PICTURE] (TEXT... | --from FILE)",
    };
    return c;
}

} // namespace preview
