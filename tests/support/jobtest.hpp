// Test fixture: a scratch Windows prefix with drives c:, d: and e:, helpers
// to put and get files by their Windows paths, and a runner that starts a
// job executable there and collects its exit code and output.
#pragma once

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Little builder for binary test inputs.
struct Buf {
    Bytes b;
    Buf& u8(uint8_t v) { b.push_back(v); return *this; }
    Buf& u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
    Buf& u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
    // A NUL-padded text field of `width` bytes (the text is cut to fit).
    Buf& field(const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) b.push_back(i < s.size() ? uint8_t(s[i]) : 0);
        return *this;
    }
    Buf& raw(const Bytes& x) { b.insert(b.end(), x.begin(), x.end()); return *this; }
    Buf& raw(const std::string& x) { b.insert(b.end(), x.begin(), x.end()); return *this; }
    Buf& fill(size_t n, uint8_t v) { b.insert(b.end(), n, v); return *this; }
    size_t size() const { return b.size(); }
};

Bytes to_bytes(const std::string& s);
std::string to_string(const Bytes& b);
uint32_t le32(const Bytes& b, size_t at);
uint16_t le16(const Bytes& b, size_t at);
// Deterministic filler bytes, different for each seed.
Bytes pattern(size_t n, uint32_t seed);

struct RunResult {
    int exit_code = -1;  // the process's exit code; -1 when it died of a signal
    int signal = 0;      // the signal that ended it, if any
    std::string out;     // standard output
    std::string err;     // standard error (jobs write nothing there)
    std::vector<std::string> lines() const; // `out` split at "\n", without them
};

// Limits for a job run.
struct RunOptions {
    int timeout_s = 120;
    // Largest size any file may grow to (RLIMIT_FSIZE, with SIGXFSZ ignored):
    // a disk that fills up part-way. 0 means no limit.
    uint64_t file_size_limit = 0;
    // Keep every allocation far below what a small input could need: 64 MiB
    // per allocation in the sanitizer build, 256 MiB of address space in the
    // normal build. (Wine cannot start in so little address space: under Wine
    // the run has no such limit.)
    bool limit_memory = false;
    // The job's command-line arguments.
    std::vector<std::string> args;
    // Standard error may hold output (a usage line); otherwise any is a failure.
    bool expect_stderr = false;
    // The job's standard input: a pipe that stays open and empty until the
    // job has ended (so a job that waited for input would hang), the null
    // device, or none at all.
    enum class Input { OpenPipe, Null, Closed } input = Input::OpenPipe;
    // Kills the run with SIGKILL after this many microseconds, if it has not
    // ended by then (a crash at that instant); 0: never.
    int64_t kill_after_us = 0;
};

// The jobs run are the Linux executables of this build, or, when the
// environment names a Windows build (LOCBENCH_WINE_BIN: the folder of its
// .exe files; LOCBENCH_WINE_TEMPLATE: an initialised Wine prefix whose
// registry and Windows folder each scratch prefix borrows), its executables
// under Wine. The same tests then check the same bytes, lines and exit codes;
// standard output, a text stream on Windows, has its CR LF line ends folded.
bool under_wine();

class JobTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

public:

    std::filesystem::path root() const { return root_; }
    std::filesystem::path prefix() const { return root_ / "prefix"; }
    // The file system's path of a Windows path, spelled exactly as given (its
    // Windows-1251 names in UTF-8, as they are stored).
    std::filesystem::path host(const std::string& winpath) const;

    // Where a job that explains itself says a Windows path lies: on Linux the
    // host path, spelled as given; under Wine the Windows path itself.
    // `from_cwd`: the job formed it from its current folder (which Linux
    // gives with links resolved, Windows with a capital drive letter).
    std::string shown(const std::string& winpath, bool from_cwd = false) const;

    void put(const std::string& winpath, const Bytes& data);
    void put(const std::string& winpath, const std::string& data) { put(winpath, to_bytes(data)); }
    Bytes get(const std::string& winpath) const;
    std::string get_text(const std::string& winpath) const { return to_string(get(winpath)); }
    bool has(const std::string& winpath) const;
    // The names of the files in a folder, sorted.
    std::vector<std::string> files(const std::string& winpath) const;
    void mkdirs(const std::string& winpath);
    // Makes `winpath` a symbolic link to `target` (e.g. /dev/full).
    void link(const std::string& winpath, const std::string& target);

    // Runs a job executable with WINEPREFIX set to the scratch prefix and the
    // working directory at `cwd`. Fails the test if it writes to stderr (a
    // sanitizer report, for example) unless asked to expect that, dies of a
    // signal or hangs.
    RunResult run(const std::string& job, const std::string& cwd = "c:\\", const RunOptions& options = {});

    // Empties the drives c:, d: and e: again.
    void reset_drives();
    // Every folder on the drives, by its path relative to the prefix (Wine's
    // own folders left out).
    std::set<std::string> folders() const;
    // Every file on the drives (by its path relative to the prefix) with its
    // content; links are listed by their target. Wine's own folders on c:
    // ("windows", "users") are left out.
    std::map<std::string, Bytes> snapshot() const;
    // Every file and folder on the drives with its time stamps: last write
    // and last change of its entry (nanoseconds), and its size. (The last
    // access is left out: reading a file may set it.)
    std::map<std::string, std::string> stamps() const;

private:
    RunResult run_once(const std::string& job, const std::string& cwd, const RunOptions& options);
    // Under Wine: runs a Wine command for the scratch prefix, quietly, and
    // waits for it; its exit code.
    int wine_command(const std::vector<std::string>& argv) const;
    // In a child about to start a job or a Wine command: the prefix, and
    // under Wine its settings (quiet, its server folder in the scratch tree).
    void set_environment(bool wine) const;
    // Calls `each` with every entry on the drives and its path relative to
    // the prefix, Wine's own folders left out.
    void walk_drives(
        const std::function<void(const std::filesystem::directory_entry&, const std::string&)>& each) const;
    // Under Wine, where a test needs what Wine cannot give (a full disk):
    // skips the test, with the reason, from this point on.
    void skip_the_rest(const char* reason);

    std::filesystem::path root_;
    bool wine_session_ = false; // a Wine server runs for the prefix
    // A test skipped part-way (see link()): what it checks after that point.
    std::unique_ptr<::testing::ScopedFakeTestPartResultReporter> skipped_;
    ::testing::TestPartResultArray ignored_;
};

// Asserts that a run ended normally with `code` and printed exactly `lines`.
void expect_run(const RunResult& r, int code, const std::vector<std::string>& lines);
