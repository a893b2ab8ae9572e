// Names as Windows file systems compare them: the same on every system.
#include "platform/win.hpp"

#include <algorithm>

namespace win {
namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

} // namespace

std::string fold_case(std::string_view name) {
    std::string r(name);
    for (char& c : r) c = upper(c);
    return r;
}

bool name_less(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(upper(a[i]));
        unsigned char y = static_cast<unsigned char>(upper(b[i]));
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

} // namespace win
