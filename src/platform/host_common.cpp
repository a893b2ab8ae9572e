// What the host file system layer does alike on every system.
#include "platform/host.hpp"
#include "platform/win.hpp"

namespace host {

std::string name_key(const std::string& relative) {
    // Names that Windows-1251 can hold fold as Windows folds them; others
    // (a character beyond the code page) fold their ASCII letters alone.
    std::string cp1251;
    if (win::from_utf8(relative, &cp1251)) return win::fold_case(cp1251);
    std::string key = relative;
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return "\x01" + key;
}

} // namespace host
