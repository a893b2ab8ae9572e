#include "support/hardening.hpp"

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>

namespace {

int env_int(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

struct Variant {
    std::string what;
    Bytes data;
};

std::vector<Variant> variants_of(const Bytes& good, const Target& t, std::mt19937& rng, int rounds) {
    std::vector<Variant> out;
    const size_t n = good.size();
    std::set<size_t> cuts(t.boundaries.begin(), t.boundaries.end());
    cuts.insert(0);
    if (n > 0) cuts.insert(n - 1);
    for (int i = 0; i < 3 * rounds && n > 1; ++i) cuts.insert(rng() % n);
    for (size_t c : cuts)
        if (c < n) out.push_back({"cut at " + std::to_string(c), Bytes(good.begin(), good.begin() + long(c))});
    for (int i = 0; i < 4 * rounds && n > 0; ++i) {
        Variant v{"bit flips", good};
        int flips = 1 + int(rng() % 8);
        for (int k = 0; k < flips; ++k) {
            size_t at = rng() % n;
            v.data[at] ^= uint8_t(1u << (rng() % 8));
            v.what += " " + std::to_string(at);
        }
        out.push_back(std::move(v));
    }
    for (size_t f : t.fields) {
        if (f + 4 > n) continue;
        uint32_t old = le32(good, f);
        for (uint32_t value : {0xFFFFFFFFu, 0x80000000u, uint32_t(n), 0u, old / 2}) {
            Variant v{"field at " + std::to_string(f) + " = " + std::to_string(value), good};
            for (int k = 0; k < 4; ++k) v.data[f + k] = uint8_t(value >> (8 * k));
            out.push_back(std::move(v));
        }
    }
    return out;
}

} // namespace

std::string scenario_name(const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; }

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

TEST_P(Damage, EndsCleanlyOnDamagedInputs) {
    const Scenario& s = GetParam();
    ASSERT_FALSE(s.targets.empty()) << "a damage scenario needs a target";
    int rounds = std::max(1, env_int("LOCBENCH_DAMAGE_ROUNDS", 1));
    std::mt19937 rng(uint32_t(env_int("LOCBENCH_DAMAGE_SEED", 20261207)) ^ uint32_t(std::hash<std::string>()(s.name)));
    RunOptions limits;
    limits.timeout_s = 30;
    limits.limit_memory = true;
    limits.args = s.args;
    for (const Target& t : s.targets) {
        reset_drives();
        s.setup(*this);
        ASSERT_TRUE(has(t.path)) << "the scenario makes no " << t.path;
        Bytes good = get(t.path);
        for (const Variant& v : variants_of(good, t, rng, rounds)) {
            SCOPED_TRACE(t.path + ": " + v.what);
            reset_drives();
            s.setup(*this);
            put(t.path, v.data);
            RunResult r = run(s.job, s.cwd, limits);
            if (r.exit_code == 0 || r.signal != 0) continue; // a signal has failed the test already
            bool quiet = std::find(s.quiet_codes.begin(), s.quiet_codes.end(), r.exit_code) != s.quiet_codes.end();
            if (quiet) continue;
            auto lines = r.lines();
            EXPECT_TRUE(!lines.empty() && !lines.back().empty())
                << s.job << " ended with exit code " << r.exit_code << " and no message";
            if (HasFailure()) return; // one failing variant tells enough
        }
    }
}

TEST_P(FullDisk, ReportsTheFailedWriteAndKeepsItsInputs) {
    const Scenario& s = GetParam();
    reset_drives();
    s.setup(*this);
    auto before = snapshot();
    RunResult normal = run(s.job, s.cwd);
    ASSERT_EQ(normal.exit_code, 0) << normal.out;
    auto done = snapshot();
    uint64_t largest = 0;
    for (const auto& [path, data] : done) {
        auto was = before.find(path);
        if (was == before.end() || was->second != data) largest = std::max<uint64_t>(largest, data.size());
    }
    if (largest < 2) GTEST_SKIP() << s.job << " writes no file of two bytes or more";

    for (uint64_t limit : std::set<uint64_t>{1, largest / 2}) {
        SCOPED_TRACE("file size limit " + std::to_string(limit));
        reset_drives();
        s.setup(*this);
        RunOptions options;
        options.file_size_limit = limit;
        RunResult r = run(s.job, s.cwd, options);
        EXPECT_EQ(r.exit_code, 1) << r.out;
        auto lines = r.lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().rfind("Can't write ", 0), 0u) << lines.back();
        auto after = snapshot();
        for (const auto& [path, data] : after) {
            EXPECT_EQ(path.find(".locbench-new"), std::string::npos) << "a failed run left " << path;
        }
        for (const auto& [path, data] : before) {
            auto now = after.find(path);
            ASSERT_NE(now, after.end()) << path << " is gone";
            auto replaced = done.find(path);
            bool kept = now->second == data;
            bool complete = replaced != done.end() && now->second == replaced->second;
            EXPECT_TRUE(kept || complete) << path << " was changed by a run that failed";
        }
    }
}

TEST_P(BlockedOutput, FailsWhereTheOutputIsCreated) {
    const Scenario& s = GetParam();
    reset_drives();
    s.setup(*this);
    auto before = snapshot();
    RunResult normal = run(s.job, s.cwd);
    ASSERT_EQ(normal.exit_code, 0) << normal.out;
    std::vector<std::string> outputs;
    for (const auto& [path, data] : snapshot()) {
        auto was = before.find(path);
        if (was == before.end() || was->second != data) outputs.push_back(path);
    }
    if (outputs.empty()) GTEST_SKIP() << s.job << " writes no file";
    // The first and the last output are enough: every output of a job is
    // made by the same few lines of it.
    if (outputs.size() > 2) outputs.erase(outputs.begin() + 1, outputs.end() - 1);
    for (const std::string& out : outputs) {
        SCOPED_TRACE("blocked: " + out);
        reset_drives();
        s.setup(*this);
        std::filesystem::path p = prefix() / out;
        bool rewrite = before.count(out) > 0;
        if (rewrite)
            std::filesystem::permissions(p, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
        else
            std::filesystem::create_directories(p);
        auto blocked = snapshot();
        RunResult r = run(s.job, s.cwd);
        EXPECT_NE(r.exit_code, 0) << r.out;
        auto lines = r.lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().rfind("Can't ", 0), 0u) << lines.back();
        EXPECT_EQ(lines.back().rfind("Can't write", 0), std::string::npos) << lines.back();
        auto printed = normal.lines();
        ASSERT_LE(lines.size() - 1, printed.size());
        EXPECT_TRUE(std::equal(lines.begin(), lines.end() - 1, printed.begin()))
            << "printed what the job prints only after that output:\n" << r.out;
        auto after = snapshot();
        if (rewrite) EXPECT_EQ(after[out], blocked[out]);
        else EXPECT_TRUE(std::filesystem::is_directory(p));
        for (const auto& [path, data] : after)
            EXPECT_EQ(path.find(".locbench-new"), std::string::npos) << "a failed run left " << path;
        std::filesystem::permissions(p, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    }
}
