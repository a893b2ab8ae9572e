#include "release/manifest.hpp"

#include "platform/sha256.hpp"

#include <cctype>
#include <cstdio>

namespace manifest {
namespace {

std::string digest_text(const Digest& d) { return std::to_string(d.size) + " bytes, sha256 " + d.sha256; }

std::string sha_of(const std::string& text) {
    sha256::Hasher h;
    h.update(text.data(), text.size());
    return sha256::hex(h.finish());
}

bool hex64(const std::string& s) {
    if (s.size() != 64) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// "N bytes, sha256 HEX"
bool parse_digest(const std::string& s, Digest* d) {
    size_t space = s.find(' ');
    if (space == 0 || space == std::string::npos || space > 20) return false;
    uint64_t v = 0;
    for (size_t i = 0; i < space; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        uint64_t next = v * 10 + uint64_t(s[i] - '0');
        if (next / 10 != v) return false;
        v = next;
    }
    const std::string middle = " bytes, sha256 ";
    if (s.compare(space, middle.size(), middle) != 0) return false;
    d->size = v;
    d->sha256 = s.substr(space + middle.size());
    return hex64(d->sha256);
}

// "PATH, N bytes, sha256 HEX": the path is all before the last ", N bytes".
bool parse_placed(const std::string& s, std::string* path, Digest* d) {
    size_t comma = s.rfind(", ");
    while (comma != std::string::npos) {
        if (parse_digest(s.substr(comma + 2), d)) {
            *path = s.substr(0, comma);
            return !path->empty();
        }
        if (comma == 0) break;
        comma = s.rfind(", ", comma - 1);
    }
    return false;
}

bool take(const std::string& line, const std::string& key, std::string* value) {
    if (line.compare(0, key.size(), key) != 0) return false;
    *value = line.substr(key.size());
    return true;
}

} // namespace

std::string write(const Manifest& m) {
    std::string t = std::string(kFirstLine) + "\n";
    t += "title: " + m.title + "\n";
    t += "files: " + std::to_string(m.items.size()) + "\n";
    for (const std::string& f : m.folders) t += "folder: " + f + "\n";
    for (const Item& it : m.items) {
        t += "\n";
        if (it.added) {
            t += "add: " + it.path + "\n";
            t += "  translated: " + digest_text(it.translated) + "\n";
            t += "  file: " + it.data + ", " + digest_text(it.data_digest) + "\n";
        } else {
            t += "patch: " + it.path + "\n";
            t += "  original: " + digest_text(it.original) + "\n";
            t += "  translated: " + digest_text(it.translated) + "\n";
            t += "  patch: " + it.data + ", " + digest_text(it.data_digest) + "\n";
        }
    }
    t += "\n";
    return t + "checksum: sha256 " + sha_of(t) + "\n";
}

bool read(const std::string& text, Manifest* m, std::string* why) {
    *m = Manifest();
    // The checksum line first: a damaged manifest is told as such, not by
    // whatever line the damage happens to hit.
    const std::string key = "checksum: sha256 ";
    size_t last = text.size() >= 2 ? text.rfind('\n', text.size() - 2) : std::string::npos;
    if (text.empty() || text.back() != '\n' || last == std::string::npos ||
        text.compare(last + 1, key.size(), key) != 0) {
        *why = "it does not end with its checksum line (cut short?)";
        return false;
    }
    std::string body = text.substr(0, last + 1);
    std::string sum = text.substr(last + 1 + key.size(), text.size() - last - 2 - key.size());
    if (!hex64(sum) || sum != sha_of(body)) {
        *why = "its checksum does not match its lines";
        return false;
    }
    std::vector<std::string> lines;
    for (size_t at = 0; at < body.size();) {
        size_t end = body.find('\n', at);
        lines.push_back(body.substr(at, end - at));
        at = end + 1;
    }
    size_t n = 0;
    auto fail = [&](const std::string& what) {
        *why = "line " + std::to_string(n + 1) + ": " + what;
        return false;
    };
    if (lines.empty() || lines[0] != kFirstLine) return fail("not a locbench release of this version");
    n = 1;
    if (n >= lines.size() || !take(lines[n], "title: ", &m->title)) return fail("no title");
    ++n;
    std::string count;
    if (n >= lines.size() || !take(lines[n], "files: ", &count) || count.empty() || count.size() > 9 ||
        count.find_first_not_of("0123456789") != std::string::npos)
        return fail("no count of files");
    size_t files = std::stoul(count);
    ++n;
    std::string folder;
    while (n < lines.size() && take(lines[n], "folder: ", &folder)) {
        std::string bad;
        if (!safe_path(folder, &bad)) return fail(bad);
        m->folders.push_back(folder);
        ++n;
    }
    while (n < lines.size()) {
        if (!lines[n].empty()) return fail("an empty line expected");
        ++n;
        if (n == lines.size()) break;
        Item it;
        std::string v;
        if (take(lines[n], "patch: ", &it.path)) it.added = false;
        else if (take(lines[n], "add: ", &it.path)) it.added = true;
        else return fail("\"patch: \" or \"add: \" expected");
        std::string bad;
        if (!safe_path(it.path, &bad)) return fail(bad);
        ++n;
        if (!it.added) {
            if (n >= lines.size() || !take(lines[n], "  original: ", &v) || !parse_digest(v, &it.original))
                return fail("the original's size and checksum expected");
            ++n;
        }
        if (n >= lines.size() || !take(lines[n], "  translated: ", &v) || !parse_digest(v, &it.translated))
            return fail("the translated file's size and checksum expected");
        ++n;
        const char* data_key = it.added ? "  file: " : "  patch: ";
        if (n >= lines.size() || !take(lines[n], data_key, &v) || !parse_placed(v, &it.data, &it.data_digest))
            return fail(std::string("the ") + (it.added ? "file" : "patch") + " with its size and checksum expected");
        if (!safe_path(it.data, &bad)) return fail(bad);
        if (it.added && !(it.data_digest == it.translated)) return fail("the added file differs from the translated one");
        ++n;
        for (const Item& other : m->items)
            if (other.path == it.path) return fail(it.path + " is listed twice");
        m->items.push_back(it);
    }
    if (m->items.size() != files) {
        n = 2;
        return fail("it lists " + std::to_string(m->items.size()) + " files, not " + count);
    }
    return true;
}

bool safe_path(const std::string& path, std::string* why) {
    auto fail = [&](const std::string& what) {
        *why = "the path \"" + path + "\" " + what;
        return false;
    };
    if (path.empty()) return fail("is empty");
    if (path[0] == '/') return fail("is absolute");
    for (unsigned char c : path) {
        if (c < 0x20 || c == 0x7f) return fail("holds a control character");
        if (c == '\\') return fail("holds a backslash");
        if (c == ':') return fail("names a drive or a stream");
        if (c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
            return fail("holds a character Windows forbids in names");
    }
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = path.find('/', at);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(at, end - at);
        if (part.empty()) return fail("has an empty component");
        if (part == "." || part == "..") return fail("leads out of its folder");
        if (part.back() == '.' || part.back() == ' ') return fail("has a component ending in a dot or a space");
        std::string stem = part.substr(0, part.find('.'));
        for (char& c : stem) c = char(std::toupper(static_cast<unsigned char>(c)));
        static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3", "COM4", "COM5",
                                              "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4",
                                              "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
        for (const char* d : devices)
            if (stem == d) return fail("names a device");
        at = end + 1;
    }
    return true;
}

} // namespace manifest
