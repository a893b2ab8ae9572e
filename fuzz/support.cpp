#include "support.hpp"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <vector>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

// The code under test ends the process through exit(): the fuzz build links
// every call of it to __wrap_exit (-Wl,--wrap=exit), which turns one made
// inside until_exit() into this exception.
struct Exited {
    int code;
};
int guarded = 0;

} // namespace

extern "C" [[noreturn]] void __real_exit(int code);
extern "C" [[noreturn]] void __wrap_exit(int code) {
    if (guarded > 0) throw Exited{code};
    __real_exit(code);
}

namespace fuzz {

FILE* open(const uint8_t* data, size_t size) {
    // fmemopen takes no empty buffer: an empty input is an empty temporary file.
    FILE* f = size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : std::tmpfile();
    if (!f) std::abort();
    return f;
}

namespace {

// The descriptors open in this process.
std::vector<int> open_fds() {
    std::vector<int> fds;
    if (DIR* d = opendir("/proc/self/fd")) {
        int own = dirfd(d);
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.' && std::atoi(e->d_name) != own) fds.push_back(std::atoi(e->d_name));
        closedir(d);
    }
    return fds;
}

} // namespace

bool until_exit(const std::function<void()>& f) {
    const std::vector<int> before = open_fds();
    ++guarded;
    try {
        f();
    } catch (const Exited&) {
        --guarded;
        std::fflush(stdout);
        // The files a job leaves open when it ends are closed by the end of
        // its process; here, their descriptors are closed instead (their
        // streams are never used again).
        for (int fd : open_fds())
            if (std::find(before.begin(), before.end(), fd) == before.end()) close(fd);
        return false;
    }
    --guarded;
    return true;
}

namespace {

const std::string& prefix() {
    // Kept to the very end (never freed): the handler that removes it runs
    // after the destructors of static objects.
    static const std::string* dir = [] {
        auto* t = new std::string((std::filesystem::temp_directory_path() / "locbench-fuzz-XXXXXX").string());
        if (!mkdtemp(t->data())) std::abort();
        // As in a Wine prefix: drive c: is the folder drive_c.
        std::filesystem::create_directories(*t + "/drive_c");
        std::filesystem::create_directories(*t + "/dosdevices");
        std::filesystem::create_directory_symlink("../drive_c", *t + "/dosdevices/c:");
        setenv("WINEPREFIX", t->c_str(), 1);
        // Removed at the end of a run that ends normally; a crash leaves it
        // for a look at what the job saw.
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(*dir, ec);
        });
        return t;
    }();
    return *dir;
}

} // namespace

std::string host(std::string_view windows_path) {
    std::string p = prefix() + "/drive_c";
    if (windows_path.size() >= 2 && windows_path[1] == ':') windows_path.remove_prefix(2);
    for (char c : windows_path) p += c == '\\' ? '/' : c;
    return p;
}

void put(std::string_view windows_path, std::string_view bytes) {
    std::filesystem::path p = host(windows_path);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) std::abort();
}

const char* const kTodo = "c:\\games\\zund7\\xfiles\\todo.txt";
const char* const kText = "c:\\games\\zund7\\xfiles\\text";

void put_texts() {
    put(kTodo, "t.txt\n2\n3\n.\n.\nnames.str\n.\n");
    std::string text = kText;
    put(text + "\\t.txt", "id\tname\tnote\n"
                           "1\tSword\tA sharp blade\n"
                           "2\tShield\n"
                           "3\t\xC9\xF5\t@two@lines\t\n"
                           "4\tlast\tno line feed");
    put(text + "\\names.str", std::string("Alpha\0Beta\0\0Gamma", 17));
    put("c:\\games\\zund7\\xfiles\\text_!\\t.txt", "");
}

const char* const kBin = "c:\\games\\Brassjaw\\xfiles\\text.bin";
const std::string_view kBinBytes("Hello\0two\nlines\0\0\x01{braces}\0a~b\0\x05run\x01on\0\xFF\xFF" "end", 44);

} // namespace fuzz
