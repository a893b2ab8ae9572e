// Where the members of a game archive lie, read through its directory: the
// PAK, LOD, SND and VID archives. A release matches the members of the
// original and the translated archive by name, so that a patch copies every
// member the translation kept and holds only the bytes of those it replaced.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace release {

struct Member {
    std::string name; // as the directory gives it
    uint64_t offset = 0, size = 0;
};

// The members of an archive, by the kind its name tells (".pak", ".lod",
// ".snd", ".vid", in any letter case). False for any other file, and for an
// archive whose directory cannot be read as that kind's (then it is matched
// as a plain file is).
bool archive_members(const std::string& name, FILE* f, uint64_t size, std::vector<Member>* out);

} // namespace release
