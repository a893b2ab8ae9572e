// The host file system on a POSIX system: paths are the bytes as given.
#include "platform/host.hpp"
#include "platform/win.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace host {

std::vector<std::string> arguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
}

std::string program_folder() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    return parent(std::string(buf, size_t(n)));
}

std::string join(const std::string& folder, const std::string& relative) {
    if (folder.empty()) return relative;
    if (folder.back() == '/') return folder + relative;
    return folder + "/" + relative;
}

std::string parent(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return "";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string absolute(const std::string& path) {
    std::string full = path;
    if (full.empty() || full[0] != '/') {
        char buf[PATH_MAX];
        if (!::getcwd(buf, sizeof buf)) return path;
        full = std::string(buf) + "/" + path;
    }
    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= full.size()) {
        size_t end = full.find('/', at);
        if (end == std::string::npos) end = full.size();
        std::string part = full.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string out;
    for (const std::string& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

Entry look(const std::string& path) {
    Entry e;
    size_t slash = path.find_last_of('/');
    e.name = slash == std::string::npos ? path : path.substr(slash + 1);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return e;
    if (S_ISLNK(st.st_mode)) e.kind = Kind::Link;
    else if (S_ISDIR(st.st_mode)) e.kind = Kind::Folder;
    else if (S_ISREG(st.st_mode)) {
        e.kind = Kind::File;
        e.size = uint64_t(st.st_size);
    } else e.kind = Kind::Other;
    return e;
}

bool list(const std::string& folder, std::vector<Entry>* out) {
    out->clear();
    DIR* d = ::opendir(folder.c_str());
    if (!d) return false;
    while (dirent* de = ::readdir(d)) {
        std::string name = de->d_name;
        if (name == "." || name == "..") continue;
        Entry e = look(join(folder, name));
        e.name = name;
        out->push_back(e);
    }
    ::closedir(d);
    return true;
}

FILE* open(const std::string& path, const char* mode) { return ::fopen(path.c_str(), mode); }

bool seek(FILE* f, uint64_t at) { return fseeko(f, off_t(at), SEEK_SET) == 0; }
bool seek_end(FILE* f) { return fseeko(f, 0, SEEK_END) == 0; }

bool sync(FILE* f) { return std::fflush(f) == 0 && ::fsync(fileno(f)) == 0; }

bool make_folder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    struct stat st;
    return errno == EEXIST && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool remove_file(const std::string& path) { return ::unlink(path.c_str()) == 0; }
bool remove_folder(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

bool replace(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return false;
    // The new name is kept once the folder's entry is on the disk too.
    std::string folder = parent(to);
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

uint64_t free_space(const std::string& path) {
    struct statvfs s;
    if (::statvfs(path.c_str(), &s) != 0) return UINT64_MAX;
    return uint64_t(s.f_bavail) * uint64_t(s.f_frsize);
}

std::string last_error() { return std::strerror(errno); }

void print(FILE* out, const std::string& text) { std::fwrite(text.data(), 1, text.size(), out); }

} // namespace host
