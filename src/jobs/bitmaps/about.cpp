// What the jobs of this folder are about (see jobs/about.hpp).
#include "jobs/about.hpp"

namespace about {

const std::vector<Job>& bitmaps_jobs() {
    static const std::vector<Job> jobs = {
        {"extracttgas", Workflow::Bitmaps,
         "writes the image entries of the zund7 icons archive that are tagged \"tga\" as TGA images",
         {
             {Kind::File, Reads, "c:\\games\\ZUND7\\data\\icons.lod", "rb",
              "the icons archive, 4241 entries: header, tag and palette of each image"},
             {Kind::Folder, Reads, "c:\\games\\zund7\\xfiles\\icons_all\\", "rb",
              "the unpacked pixels of each tagged entry", "NNNN_name"},
             {Kind::Folder, Writes, "c:\\games\\zund7\\xfiles\\icons_tga\\", "wb",
              "a colour-mapped TGA image, top-left origin, for each tagged entry", "NNNN_name.tga"},
         },
         "the path of each pixel file",
         {{"Can't create file PATH", 1, "a pixel file cannot be opened, or an image cannot be created"}, kCantOpen,
          kCantWrite, kDamaged},
         "extractlod_icons wrote the entry files into icons_all; unpackpayloads unpacked their payloads beside them",
         "edit the images (keeping the 256-colour palette) and put them into readytga; then readtgas"},

        {"readtgas", Workflow::Bitmaps,
         "turns each edited TGA image into a header and palette file and a raw pixel file",
         {
             {Kind::File, Reads, "c:\\games\\ZUND7\\data\\icons1.lod", "rb",
              "the old entry headers, 4241 entries"},
             {Kind::Search, Reads, "c:\\games\\zund7\\xfiles\\readytga\\*.tga", "rb",
              "edited images, each name beginning with its entry's four-digit index"},
             {Kind::Folder, Writes, "c:\\games\\zund7\\xfiles\\readytga\\", "wb",
              "816 bytes: the entry header with the image's sizes, then the palette", "NNNN_name.pl"},
             {Kind::Folder, Writes, "c:\\games\\zund7\\xfiles\\readytga\\pack\\", "wb",
              "the pixels, top row first", "NNNN_name"},
         },
         "the name of each \".pl\" file",
         {kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "extracttgas wrote the images; they were edited and put into readytga",
         "packpayloads packs each raw pixel file of readytga\\pack into readytga\\NNNN_name.zl; then comptgas"},

        {"comptgas", Workflow::Bitmaps,
         "joins each header and palette file with its packed pixels into an image entry file",
         {
             {Kind::Search, Reads, "c:\\games\\zund7\\xfiles\\readytga\\*.pl", "rb",
              "the header and palette files of readtgas"},
             {Kind::Folder, Reads, "c:\\games\\zund7\\xfiles\\readytga\\", "rb",
              "the packed pixels beside each \".pl\" file", "NNNN_name.zl"},
             {Kind::Folder, Writes, "c:\\games\\zund7\\xfiles\\icons_ready\\", "wb",
              "a header-first image entry file for each", "NNNN_name.zl"},
         },
         "the name of each entry file",
         {{"Don't match 0x330", 1, "a \".pl\" file is not 816 bytes long"}, kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "readtgas wrote the raw pixel files, which packpayloads packed",
         "updatelod_icons takes the entry files into the new icons.lod"},
    };
    return jobs;
}

} // namespace about
