#include "support/jobtest.hpp"

#include "platform/win.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

namespace fs = std::filesystem;

Bytes to_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string to_string(const Bytes& b) { return std::string(b.begin(), b.end()); }

uint32_t le32(const Bytes& b, size_t at) {
    return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8 | uint32_t(b.at(at + 2)) << 16 |
           uint32_t(b.at(at + 3)) << 24;
}
uint16_t le16(const Bytes& b, size_t at) { return uint16_t(b.at(at) | b.at(at + 1) << 8); }

Bytes pattern(size_t n, uint32_t seed) {
    Bytes out(n);
    uint32_t x = seed * 2654435761u + 12345;
    for (auto& v : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        v = uint8_t(x);
    }
    return out;
}

std::vector<std::string> RunResult::lines() const {
    std::vector<std::string> v;
    size_t start = 0;
    while (start < out.size()) {
        size_t nl = out.find('\n', start);
        if (nl == std::string::npos) {
            v.push_back(out.substr(start));
            break;
        }
        v.push_back(out.substr(start, nl - start));
        start = nl + 1;
    }
    return v;
}

namespace {

const char* env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? v : nullptr;
}

const char* wine_bin() { return env("LOCBENCH_WINE_BIN"); }

// The drives of a scratch prefix (Wine adds devices of its own beside them).
const char* const kDrives[] = {"c:", "d:", "e:"};

// Wine's own folders on drive c: of a scratch prefix.
bool wine_folder(const std::string& rel) {
    return rel == "dosdevices/c:/windows" || rel == "dosdevices/c:/users";
}

// Turns the CR LF line ends of a Windows program's standard output into "\n";
// a line end without its CR is left as it is, so that the comparison fails.
std::string fold_crlf(const std::string& out) {
    std::string s;
    for (size_t i = 0; i < out.size(); ++i)
        if (!(out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n')) s += out[i];
    return s;
}

} // namespace

bool under_wine() { return wine_bin() != nullptr; }

void JobTest::SetUp() {
    std::string tmpl = (fs::temp_directory_path() / "locbench-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    root_ = tmpl;
    fs::create_directories(prefix());
    if (under_wine()) {
        // A prefix made from the template starts at once: its registry is
        // copied, its Windows folder linked.
        const char* t = env("LOCBENCH_WINE_TEMPLATE");
        ASSERT_NE(t, nullptr) << "LOCBENCH_WINE_TEMPLATE names no Wine prefix";
        for (const char* f : {"system.reg", "user.reg", "userdef.reg", ".update-timestamp"})
            fs::copy_file(fs::path(t) / f, prefix() / f);
        fs::create_directories(root_ / "tmp"); // Wine's server folder, gone with the rest
    }
    reset_drives();
}

void JobTest::reset_drives() {
    // Only the drives: the prefix itself stays, and with it a Wine server
    // already started for it.
    fs::remove_all(prefix() / "dosdevices");
    for (const char* d : kDrives) fs::create_directories(prefix() / "dosdevices" / d);
    if (under_wine()) {
        fs::path c = prefix() / "dosdevices" / "c:";
        fs::create_directory_symlink(fs::path(env("LOCBENCH_WINE_TEMPLATE")) / "drive_c" / "windows", c / "windows");
        // The user's temporary folder, as on any Windows installation.
        const passwd* pw = getpwuid(getuid());
        fs::create_directories(c / "users" / (pw ? pw->pw_name : "root") / "Temp");
    }
}

void JobTest::walk_drives(const std::function<void(const fs::directory_entry&, const std::string&)>& each) const {
    const std::string base = prefix().string() + "/";
    for (const char* drive : kDrives) {
        for (auto it = fs::recursive_directory_iterator(prefix() / "dosdevices" / drive);
             it != fs::recursive_directory_iterator(); ++it) {
            std::string rel = it->path().string().substr(base.size()); // (fs::relative would ask the disk)
            if (wine_folder(rel)) it.disable_recursion_pending();
            else each(*it, rel);
        }
    }
}

std::set<std::string> JobTest::folders() const {
    std::set<std::string> found;
    walk_drives([&](const fs::directory_entry& e, const std::string& rel) {
        if (e.is_directory()) found.insert(rel);
    });
    return found;
}

std::map<std::string, Bytes> JobTest::snapshot() const {
    std::map<std::string, Bytes> files;
    walk_drives([&](const fs::directory_entry& e, const std::string& rel) {
        if (e.is_symlink()) {
            files[rel] = to_bytes("-> " + fs::read_symlink(e.path()).string());
        } else if (e.is_regular_file()) {
            std::ifstream f(e.path(), std::ios::binary);
            files[rel] = Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        }
    });
    return files;
}

std::map<std::string, std::string> JobTest::stamps() const {
    std::map<std::string, std::string> found;
    walk_drives([&](const fs::directory_entry& e, const std::string& rel) {
        struct stat st;
        if (lstat(e.path().c_str(), &st) != 0) return;
        found[rel] = std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + " " +
                     std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec) + " " +
                     std::to_string(st.st_size);
    });
    return found;
}

void JobTest::TearDown() {
    skipped_.reset();
    if (wine_session_) {
        wine_command({"wineserver", "-k"});
        wine_command({"wineserver", "-w"}); // gone, with its last writes to the prefix
    }
    std::error_code ec;
    for (int tries = 0; tries < 10 && fs::exists(root_); ++tries) {
        if (tries > 0) usleep(100000);
        fs::remove_all(root_, ec);
    }
}

void JobTest::set_environment(bool wine) const {
    setenv("WINEPREFIX", prefix().c_str(), 1);
    if (wine) {
        setenv("WINEDEBUG", "-all", 1);
        setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
    }
}

int JobTest::wine_command(const std::vector<std::string>& argv) const {
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDWR);
        for (int fd = 0; fd < 3; ++fd) dup2(null, fd);
        set_environment(true);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

fs::path JobTest::host(const std::string& winpath) const {
    std::string p = winpath;
    fs::path out;
    if (p.size() >= 2 && p[1] == ':') {
        out = prefix() / "dosdevices" / std::string{char(std::tolower(p[0])), ':'};
        p = p.substr(2);
    } else {
        out = root_;
    }
    std::string comp;
    for (char c : p + "\\") {
        if (c == '\\') {
            if (!comp.empty()) out /= win::to_utf8(comp); // names are stored in UTF-8, as Wine stores them
            comp.clear();
        } else {
            comp += c;
        }
    }
    return out;
}

std::string JobTest::shown(const std::string& winpath, bool from_cwd) const {
    if (under_wine()) {
        std::vector<std::string> parts; // "." and ".." resolved, as Windows makes a path full
        std::string part;
        for (char c : winpath + "\\") {
            if (c != '\\') {
                part += c;
                continue;
            }
            if (part == ".." && parts.size() > 1) parts.pop_back();
            else if (part != "." && part != ".." && (!part.empty() || parts.empty())) parts.push_back(part);
            part.clear();
        }
        std::string s;
        for (const std::string& p : parts) s += (s.empty() ? "" : "\\") + p;
        if (from_cwd && s.size() > 1 && s[1] == ':') s[0] = char(std::toupper(s[0]));
        return s;
    }
    return from_cwd ? fs::weakly_canonical(host(winpath)).string() : host(winpath).string();
}

void JobTest::put(const std::string& winpath, const Bytes& data) {
    fs::path p = host(winpath);
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    ASSERT_TRUE(f.good()) << p;
}

Bytes JobTest::get(const std::string& winpath) const {
    std::ifstream f(host(winpath), std::ios::binary);
    EXPECT_TRUE(f.good()) << "missing " << winpath;
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool JobTest::has(const std::string& winpath) const { return fs::exists(host(winpath)); }

std::vector<std::string> JobTest::files(const std::string& winpath) const {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(host(winpath))) v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
}

void JobTest::mkdirs(const std::string& winpath) { fs::create_directories(host(winpath)); }

void JobTest::skip_the_rest(const char* reason) {
    // The test is skipped, and what it checks from here on is not counted.
    if (skipped_) return;
    [reason] { GTEST_SKIP() << reason; }();
    skipped_ = std::make_unique<::testing::ScopedFakeTestPartResultReporter>(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &ignored_);
}

void JobTest::link(const std::string& winpath, const std::string& target) {
    if (under_wine() && target == "/dev/full")
        skip_the_rest("a full disk made with a link to /dev/full: Wine reports the writes to it as done");
    fs::path p = host(winpath);
    fs::create_directories(p.parent_path());
    fs::remove(p);
    fs::create_symlink(target, p);
}

RunResult JobTest::run(const std::string& job, const std::string& cwd, const RunOptions& options) {
    RunResult r = run_once(job, cwd, options);
    // Now and then, on a loaded machine, a Windows program under Wine ends
    // with exit code 1 before it has done or printed anything. No job ends
    // so (every exit code 1 comes with its message, as the same tests check
    // in the Linux build): such a start is tried once more.
    if (under_wine() && r.exit_code == 1 && r.signal == 0 && r.out.empty() && r.err.empty()) {
        std::fprintf(stderr, "note: %s under Wine ended with exit code 1 and no output; started again\n", job.c_str());
        r = run_once(job, cwd, options);
    }
    return r;
}

RunResult JobTest::run_once(const std::string& job, const std::string& cwd, const RunOptions& options) {
    RunResult r;
    const bool wine = under_wine();
    if (wine && options.file_size_limit) {
        skip_the_rest("a full disk made with a file-size limit: Wine reports the writes past it as done");
        return r;
    }
    // A job by its name, or a program by its host path.
    std::string exe = job.find('/') != std::string::npos ? job
                      : wine ? std::string(wine_bin()) + "/" + job + ".exe"
                             : std::string(LOCBENCH_BIN_DIR) + "/" + job;
    fs::path dir = host(cwd);
    if (wine && !wine_session_) {
        // One Wine session for the whole test: the server, and the services
        // that the first program of a session starts, run from here on with
        // no hold on the jobs' output, and every job starts at once.
        // (A server left behind by a test that died ends by itself after a
        // while without programs.)
        // Wine now and then fails to start a session at the first go; the
        // jobs would start one themselves, only more slowly.
        wine_command({"wineserver", "-p10"});
        for (int tries = 0; tries < 3 && wine_command({"wineboot"}) != 0; ++tries) usleep(200000);
        wine_session_ = true;
    }
    int out_pipe[2], err_pipe[2], in_pipe[2];
    if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0 || pipe(in_pipe) != 0) {
        ADD_FAILURE() << "pipe";
        return r;
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        close(out_pipe[0]);
        close(err_pipe[0]);
        close(in_pipe[1]);
        switch (options.input) {
        case RunOptions::Input::OpenPipe: dup2(in_pipe[0], 0); break;
        case RunOptions::Input::Null: dup2(open("/dev/null", O_RDONLY), 0); break;
        case RunOptions::Input::Closed: close(0); break;
        }
        close(in_pipe[0]);
        if (chdir(dir.c_str()) != 0) _exit(127);
        set_environment(wine);
        const char* given = getenv("ASAN_OPTIONS");
        std::string asan = given && *given ? given : "detect_leaks=1:halt_on_error=1";
        if (options.limit_memory && !wine) {
#ifdef LOCBENCH_SANITIZED
            asan += ":max_allocation_size_mb=64";
#else
            rlimit as{256u << 20, 256u << 20};
            setrlimit(RLIMIT_AS, &as);
#endif
        }
        if (options.file_size_limit) {
            signal(SIGXFSZ, SIG_IGN); // stays ignored in the job: a write past the limit just fails
            rlimit fsize{options.file_size_limit, options.file_size_limit};
            setrlimit(RLIMIT_FSIZE, &fsize);
        }
        setenv("ASAN_OPTIONS", asan.c_str(), 1);
        setenv("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1", 0);
        std::vector<char*> argv;
        if (wine) argv.push_back(const_cast<char*>("wine"));
        argv.push_back(exe.data());
        for (const std::string& a : options.args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    close(in_pipe[0]); // the write end stays open, with nothing written, until the job has ended
    auto started = std::chrono::steady_clock::now();
    auto deadline = started + std::chrono::seconds(options.timeout_s);
    auto kill_at = started + std::chrono::microseconds(options.kill_after_us);
    bool killed = false;
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    int open_fds = 2;
    bool timed_out = false;
    int status = 0;
    bool ended = false;
    // Reads what is there; the job's output is complete once it has ended,
    // even where a process it started (Wine's services) still holds the
    // pipes.
    auto drain = [&](int i) {
        char buf[65536];
        ssize_t n = read(fds[i].fd, buf, sizeof buf);
        if (n <= 0) {
            close(fds[i].fd);
            fds[i].fd = -1;
            --open_fds;
        } else {
            (i == 0 ? r.out : r.err).append(buf, size_t(n));
        }
    };
    while (open_fds > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timed_out = true;
            kill(pid, SIGKILL);
            break;
        }
        if (!ended && waitpid(pid, &status, WNOHANG) == pid) ended = true;
        int wait_ms = int(std::min<long long>(left.count(), 50));
        if (options.kill_after_us > 0 && !ended && !killed) {
            auto now = std::chrono::steady_clock::now();
            if (now >= kill_at) {
                kill(pid, SIGKILL);
                killed = true;
            } else {
                wait_ms = std::min<int>(wait_ms, int(std::chrono::duration_cast<std::chrono::milliseconds>(kill_at - now).count()));
            }
        }
        int ready = poll(fds, 2, ended ? 0 : wait_ms);
        if (ready < 0) continue;
        if (ready == 0 && ended) break; // ended, and nothing more to read
        for (int i = 0; i < 2; ++i)
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) drain(i);
    }
    for (auto& f : fds)
        if (f.fd >= 0) close(f.fd);
    if (!ended) waitpid(pid, &status, 0);
    close(in_pipe[1]);
    if (WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    if (wine) r.out = fold_crlf(r.out);
    EXPECT_FALSE(timed_out) << job << " hung";
    if (!killed) {
        EXPECT_EQ(r.signal, 0) << job << " died of signal " << r.signal;
    }
    if (!options.expect_stderr) {
        EXPECT_EQ(r.err, "") << job << " wrote to stderr";
    }
    return r;
}

void expect_run(const RunResult& r, int code, const std::vector<std::string>& lines) {
    EXPECT_EQ(r.exit_code, code) << r.out;
    EXPECT_EQ(r.lines(), lines);
    if (!r.out.empty()) {
        EXPECT_EQ(r.out.back(), '\n') << "output must end with a line end";
    }
}
