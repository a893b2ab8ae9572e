// What is the same on every system: Windows-1251 and Unicode, names as
// Windows file systems compare them, the wildcard matcher, when a program
// waits before its console window closes, the runtime error number, and the
// handing out of a search's matches.
#include "platform/win_detail.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

namespace win {
namespace {

// The characters of bytes 0x80 to 0xFF.
constexpr char16_t kHigh[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

constexpr char32_t char_of(unsigned char b) { return b < 0x80 ? char32_t(b) : char32_t(kHigh[b - 0x80]); }

// The byte of each character below U+0500 (-1 for none); the few characters
// above (punctuation, the euro, "№", "™") are looked up in kHigh.
struct Reverse {
    int16_t byte[0x500];
    constexpr Reverse() : byte{} {
        for (auto& b : byte) b = -1;
        for (int b = 0; b < 256; ++b)
            if (char_of(uint8_t(b)) < 0x500) byte[char_of(uint8_t(b))] = int16_t(b);
    }
};
constexpr Reverse kReverse;

// A character's upper case as Windows folds names (its upper-case table):
// ASCII, and Cyrillic from U+0430 to U+045F and U+0491.
constexpr char32_t upper_char(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0x0430 && c <= 0x044F) return c - 32;
    if (c >= 0x0450 && c <= 0x045F) return c - 80;
    if (c == 0x0491) return 0x0490;
    return c;
}

// Per byte: the byte of its upper case (itself when Windows-1251 holds no
// other case), and that upper case's UTF-16 code unit, the weight by which
// names are ordered.
struct Folding {
    unsigned char upper[256];
    char16_t weight[256];
    constexpr Folding() : upper{}, weight{} {
        for (int b = 0; b < 256; ++b) {
            char32_t u = upper_char(char_of(uint8_t(b)));
            int ub = u < 0x500 ? kReverse.byte[u] : -1;
            upper[b] = uint8_t(ub >= 0 ? ub : b);
            weight[b] = char16_t(char_of(upper[b]));
        }
    }
};
constexpr Folding kFold;

unsigned char upper(char c) { return kFold.upper[static_cast<unsigned char>(c)]; }

} // namespace

char32_t cp1251_char(unsigned char byte) { return char_of(byte); }

int cp1251_byte(char32_t c) {
    if (c < 0x500) return kReverse.byte[c];
    for (int i = 0; i < 128; ++i)
        if (kHigh[i] == c) return 0x80 + i;
    return -1;
}

std::string to_utf8(std::string_view in) {
    std::string out;
    out.reserve(in.size() * 2);
    for (char ch : in) {
        char32_t c = char_of(static_cast<unsigned char>(ch));
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool from_utf8(std::string_view in, std::string* out, Utf8Fault* fault) {
    // Never more bytes than UTF-8 ones: written in place, cut to size at the end.
    out->resize(in.size());
    char* o = out->data();
    size_t len = 0;
    auto fail = [&](size_t at, char32_t ch, bool not_utf8) {
        out->resize(len);
        if (fault) *fault = Utf8Fault{at, ch, not_utf8};
        return false;
    };
    for (size_t i = 0; i < in.size();) {
        unsigned char b = static_cast<unsigned char>(in[i]);
        if (b < 0x80) { // a run of ASCII, taken as it is
            size_t j = i + 1;
            while (j < in.size() && static_cast<unsigned char>(in[j]) < 0x80) ++j;
            std::memcpy(o + len, in.data() + i, j - i);
            len += j - i;
            i = j;
            continue;
        }
        // A sequence of 2 to 4 bytes, in its shortest form, no surrogate.
        size_t n = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || i + n > in.size()) return fail(i, 0, true);
        char32_t c = b & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            unsigned char x = static_cast<unsigned char>(in[i + k]);
            if ((x & 0xC0) != 0x80) return fail(i, 0, true);
            c = (c << 6) | (x & 0x3F);
        }
        static constexpr char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kLeast[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return fail(i, 0, true);
        int byte = cp1251_byte(c);
        if (byte < 0) return fail(i, c, false);
        o[len++] = char(byte);
        i += n;
    }
    out->resize(len);
    return true;
}

std::string fold_case(std::string_view name) {
    std::string r(name);
    for (char& c : r) c = char(upper(c));
    return r;
}

bool name_less(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = kFold.weight[static_cast<unsigned char>(a[i])];
        char16_t y = kFold.weight[static_cast<unsigned char>(b[i])];
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

bool wildcard_match(std::string_view pat, std::string_view name) {
    // Iterative matcher with backtracking to the last '*'.
    size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
        if (p < pat.size() && pat[p] == '*') {
            star = p++;
            mark = n;
        } else if (p < pat.size() && (pat[p] == '?' || upper(pat[p]) == upper(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == '*') ++p;
    return p == pat.size();
}

bool waits_for_enter(const ConsoleFacts& f) {
    // A console of its own: the window goes when the program ends. Anyone
    // else attached to it (cmd, a script's shell) keeps it open, and output
    // or input elsewhere has no window to read or press Enter in.
    return f.processes == 1 && f.input_is_console && f.output_is_console && !f.host_terminal;
}

namespace {

int g_errno = 0; // the runtime error number; only failing calls set it

struct Search {
    std::vector<FindData> matches;
    size_t next = 0;
};
std::map<intptr_t, Search> g_searches;
intptr_t g_next_handle = 1;

} // namespace

void detail::fail_with(int e) { g_errno = e; }

int error_number() { return g_errno; }

intptr_t detail::start_search(std::vector<FindData> matches, FindData* fd) {
    if (matches.empty()) {
        fail_with(ENOENT);
        return -1;
    }
    std::sort(matches.begin(), matches.end(),
              [](const FindData& a, const FindData& b) { return name_less(a.name, b.name); });
    *fd = matches[0];
    intptr_t h = g_next_handle++;
    g_searches.emplace(h, Search{std::move(matches), 1});
    return h;
}

int findnext(intptr_t handle, FindData* fd) {
    auto it = g_searches.find(handle);
    if (it == g_searches.end()) {
        detail::fail_with(EINVAL);
        return -1;
    }
    Search& s = it->second;
    if (s.next >= s.matches.size()) {
        detail::fail_with(ENOENT);
        return -1;
    }
    *fd = s.matches[s.next++];
    return 0;
}

int findclose(intptr_t handle) {
    if (g_searches.erase(handle) == 0) {
        detail::fail_with(EINVAL);
        return -1;
    }
    return 0;
}

} // namespace win
