#include "support/sndvid_builders.hpp"

namespace sndvid {

Bytes make_snd(const std::vector<Snd>& ms) {
    Buf dir, data;
    dir.u32(uint32_t(ms.size()));
    uint32_t pos = uint32_t(4 + 52 * ms.size());
    for (const auto& m : ms) {
        dir.field(m.name, 40).u32(pos).u32(uint32_t(m.data.size())).u32(m.unpacked);
        data.raw(m.data);
        pos += uint32_t(m.data.size());
    }
    return dir.raw(data.b).b;
}

Bytes make_vid(const std::vector<Vid>& ms, uint32_t count_word) {
    Buf dir, data;
    dir.u32(count_word);
    uint32_t pos = uint32_t(4 + 44 * ms.size());
    for (const auto& m : ms) {
        dir.field(m.name, 40).u32(pos);
        data.raw(m.data);
        pos += uint32_t(m.data.size());
    }
    return dir.raw(data.b).b;
}

std::string smk_name(uint32_t k) { return "m" + std::to_string(k / 10) + std::to_string(k % 10) + ".smk"; }

std::vector<Vid> members(uint32_t n) {
    std::vector<Vid> ms;
    for (uint32_t k = 0; k < n; ++k) ms.push_back({smk_name(k), pattern(k * 37 % 101, k + 1)});
    return ms;
}

std::vector<std::string> smk_lines() {
    std::vector<std::string> v;
    for (uint32_t k = 0; k < 14; ++k) v.push_back(kSmk + smk_name(k));
    return v;
}

std::string rec_name(int i) {
    std::string s = std::to_string(i);
    return std::string(3 - s.size(), '0') + s + ".wav";
}

void put_recordings(JobTest& t) {
    for (int i = 0; i < 144; ++i) t.put(kVoice4 + rec_name(i), pattern(size_t(i) * 7 + 1, uint32_t(i)));
}

std::string list_text(const std::vector<std::string>& lines, bool final_newline) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += lines[i] + (i + 1 < lines.size() || final_newline ? "\r\n" : "");
    return text;
}

std::vector<std::string> full_list(std::vector<std::string> first) {
    for (size_t i = first.size(); i < 144; ++i) first.push_back("#n\\" + rec_name(int(i)));
    return first;
}

} // namespace sndvid
