// What the jobs of this folder are about (see jobs/about.hpp).
#include "jobs/about.hpp"

namespace about {

const std::vector<Job>& fonts_jobs() {
    static const std::vector<Job> jobs = {
        {"extractglyphs", Workflow::Fonts,
         "writes each glyph of the calig font as a TIFF image of its own",
         {
             {Kind::File, Reads, "e:\\games\\zundfiles\\calig.fnt", "rb",
              "the calig font: glyph bitmaps from offset 1312, built-in widths, 27 rows"},
             {Kind::Folder, Writes, "e:\\games\\zundfiles\\calig\\", "wb",
              "one palette TIFF image per glyph, named by its code", "1F.tif ... FF.tif"},
         },
         "",
         {kCantOpen, kCantWrite, kDamaged},
         "none: it reads the game's font",
         "none: the images show the calig glyphs one by one, for reference"},

        {"extractfonts", Workflow::Fonts,
         "writes the calig font and every FNT font as strip images, each glyph followed by a stripe",
         {
             {Kind::File, Reads, "e:\\games\\zundfiles\\calig.fn1", "rb", "the calig font"},
             {Kind::Search, Reads, "e:\\games\\zundfiles\\*.fnt", "rb", "the other fonts"},
             {Kind::Folder, Writes, "e:\\games\\zundfiles\\calig\\", "wb",
              "one strip image per font: all 225 glyphs (codes 31 to 255) side by side, each followed by a stripe "
              "column of colour 254",
              "calig.tif, NAME.fnt.tif"},
         },
         "",
         {{"Damaged file PATH: WHAT", 1, "a font is damaged: it gets no image, and the job goes on with the others"},
          kCantOpen, kCantWrite},
         "none: it reads the game's fonts",
         "redraw the glyphs in an image editor, moving the stripes so that each glyph gets its width, and save "
         "the strip as c:\\games\\hexfiles\\fonts\\comic.fnt.tif; then buildfont"},

        {"stripeglyphs", Workflow::Fonts,
         "turns a hand-drawn glyph sheet into a strip image, the glyphs packed to the left with a stripe after each",
         {
             {Kind::File, Reads, "c:\\games\\zundfiles\\calig\\abc.tif", "rb",
              "the glyph sheet: glyphs separated by blank columns"},
             {Kind::File, Writes, "c:\\games\\zundfiles\\calig\\a_b_c_.tif", "wb",
              "the same image with the glyphs packed to the left, one stripe after each"},
         },
         "",
         {{"Can't create", 1, "the strip image cannot be created"}, kCantOpen, kCantWrite, kDamaged},
         "a new alphabet drawn freely on a sheet in an image editor",
         "check the strip in the editor and save it where buildfont reads it; then buildfont"},

        {"buildfont", Workflow::Fonts,
         "rebuilds the comic font from an edited strip image, measuring the glyph widths from its stripes",
         {
             {Kind::File, Reads, "c:\\games\\zundfiles\\comic.fnt", "rb",
              "the old font: its bearings and the first glyph's offset"},
             {Kind::File, Reads, "c:\\games\\hexfiles\\fonts\\comic.fnt.tif", "rb",
              "the edited strip: 20 rows, 225 stripes in the top row, every row with its stripes in the same "
              "columns"},
             {Kind::File, Writes, "c:\\games\\hexfiles\\fonts\\comic.fnt", "wb",
              "the new 20-row font, which takes the place of one built earlier only once it is complete"},
         },
         "",
         {{"Ne ta vysota!", 2, "the image is not 20 rows high"},
          {"Mnogo polosok!", 4, "the top row has not exactly 225 stripes"},
          {"Net poloski!", 2, "a lower row lacks a stripe where the top row has one"},
          kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "extractfonts (or stripeglyphs) made the strip; it was redrawn in an image editor",
         "none: the game reads the new comic.fnt"},
    };
    return jobs;
}

} // namespace about
