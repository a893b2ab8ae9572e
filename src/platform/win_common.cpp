// What is the same on every system: names as Windows file systems compare
// them, the wildcard matcher, the runtime error number, and the handing out
// of a search's matches.
#include "platform/win_detail.hpp"

#include <algorithm>
#include <cerrno>
#include <map>

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
