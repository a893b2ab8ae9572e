// The journal of make's steps: its text, and the content hash.
#include "status/journal.hpp"

#include "platform/io.hpp"
#include "platform/win.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

namespace journal {

const char* const kPath = "c:\\games\\locbench.journal";

namespace {

constexpr uint64_t kP1 = 0x9E3779B185EBCA87ull, kP2 = 0xC2B2AE3D27D4EB4Full, kP3 = 0x165667B19E3779F9ull,
                   kP4 = 0x85EBCA77C2B2AE63ull, kP5 = 0x27D4EB2F165667C5ull;

uint64_t rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
uint64_t mix(uint64_t acc, uint64_t word) { return rotl(acc + word * kP2, 31) * kP1; }
uint64_t word_at(const uint8_t* p) {
    uint64_t w = 0;
    for (int i = 7; i >= 0; --i) w = (w << 8) | p[i]; // little-endian on every system
    return w;
}

// Four lanes over 32-byte stripes; what is left of the last stripe, and the
// length, folded in at the end.
class Hasher {
public:
    void add(const uint8_t* p, size_t n) {
        total_ += n;
        if (held_ > 0) {
            size_t take = std::min(n, sizeof tail_ - held_);
            std::memcpy(tail_ + held_, p, take);
            held_ += take;
            p += take;
            n -= take;
            if (held_ < sizeof tail_) return;
            stripe(tail_);
            held_ = 0;
        }
        for (; n >= 32; p += 32, n -= 32) stripe(p);
        std::memcpy(tail_, p, n);
        held_ = n;
    }
    uint64_t end() const {
        uint64_t h = rotl(lane_[0], 1) + rotl(lane_[1], 7) + rotl(lane_[2], 12) + rotl(lane_[3], 18);
        for (uint64_t l : lane_) h = (h ^ mix(0, l)) * kP1 + kP4;
        h += total_;
        size_t i = 0;
        for (; i + 8 <= held_; i += 8) h = rotl(h ^ mix(0, word_at(tail_ + i)), 27) * kP1 + kP4;
        for (; i < held_; ++i) h = rotl(h ^ (tail_[i] * kP5), 11) * kP1;
        h ^= h >> 33;
        h *= kP2;
        h ^= h >> 29;
        h *= kP3;
        return h ^ (h >> 32);
    }

private:
    void stripe(const uint8_t* p) {
        for (int k = 0; k < 4; ++k) lane_[k] = mix(lane_[k], word_at(p + 8 * k));
    }
    uint64_t lane_[4] = {kP1 + kP2, kP2, 0, 0 - kP1};
    uint8_t tail_[32] = {};
    size_t held_ = 0;
    uint64_t total_ = 0;
};

std::string key(const std::string& chain, const std::string& job) { return chain + " " + job; }

bool number(const std::string& s, size_t* at, uint64_t* v, int base = 10) {
    size_t i = *at;
    uint64_t x = 0;
    while (i < s.size() && s[i] != ' ') {
        char c = s[i];
        int d = c >= '0' && c <= '9' ? c - '0' : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d < 0) return false;
        x = x * uint64_t(base) + uint64_t(d);
        ++i;
    }
    if (i == *at || i >= s.size()) return false;
    *v = x;
    *at = i + 1;
    return true;
}

} // namespace

uint64_t content_hash(const void* data, size_t n) {
    Hasher h;
    h.add(static_cast<const uint8_t*>(data), n);
    return h.end();
}

bool content_hash(const std::string& winpath, uint64_t* hash) {
    FILE* f = win::fopen(winpath.c_str(), "rb");
    if (!f) return false;
    Hasher h;
    std::vector<uint8_t> buf(size_t(1) << 20);
    size_t got;
    while ((got = io::read(f, buf.data(), buf.size())) > 0) h.add(buf.data(), got);
    bool ok = !std::ferror(f);
    std::fclose(f);
    *hash = h.end();
    return ok;
}

void Journal::load() {
    records_.clear();
    running_.clear();
    written_ = 0;
    win::FindData fd;
    intptr_t h = win::findfirst(kPath, &fd);
    if (h == -1) return;
    win::findclose(h);
    if (fd.folder) return;
    written_ = fd.modified;
    FILE* f = win::fopen(kPath, "rb");
    if (!f) return;
    io::LineReader lines(f);
    std::string_view v;
    bool first = true, good = false;
    Record* at = nullptr;
    std::string at_key;
    while (lines.next(&v)) {
        std::string line(v);
        if (first) {
            first = false;
            good = line == "locbench journal 1";
            if (!good) break;
            continue;
        }
        if (line.compare(0, 5, "step ") == 0) {
            at_key = line.substr(5);
            at = &records_[at_key];
            *at = Record{};
        } else if (line.compare(0, 8, "running ") == 0) {
            running_[line.substr(8)] = true;
        } else if (at && (line.compare(0, 3, "in ") == 0 || line.compare(0, 4, "out ") == 0)) {
            bool in = line[0] == 'i';
            size_t p = in ? 3 : 4;
            Entry e;
            uint64_t modified = 0;
            if (!number(line, &p, &e.size) || !number(line, &p, &modified) || !number(line, &p, &e.hash, 16) ||
                p >= line.size()) {
                records_.erase(at_key); // a record cut short tells nothing
                at = nullptr;
                continue;
            }
            e.modified = int64_t(modified);
            e.path = line.substr(p);
            (in ? at->ins : at->outs).push_back(std::move(e));
        }
    }
    if (lines.failed()) records_.clear();
    std::fclose(f);
}

bool Journal::save() const {
    std::string text = "locbench journal 1\n";
    for (const auto& [k, r] : records_) {
        text += "step " + k + "\n";
        for (const auto* list : {&r.ins, &r.outs})
            for (const Entry& e : *list)
                text += io::format("%s %llu %llu %016llx ", list == &r.ins ? "in" : "out",
                                   static_cast<unsigned long long>(e.size), static_cast<unsigned long long>(e.modified),
                                   static_cast<unsigned long long>(e.hash)) +
                        e.path + "\n";
    }
    for (const auto& [k, on] : running_)
        if (on) text += "running " + k + "\n";
    win::mkdir("c:\\games");
    if (!win::can_take_file(kPath)) return false;
    io::Replacement out(kPath, "wb");
    if (!out.ok()) return false;
    out.write(text.data(), text.size());
    out.commit();
    return true;
}

const Record* Journal::find(const std::string& chain, const std::string& job) const {
    auto it = records_.find(key(chain, job));
    return it == records_.end() ? nullptr : &it->second;
}

void Journal::put(const std::string& chain, const std::string& job, Record r) { records_[key(chain, job)] = std::move(r); }

bool Journal::running(const std::string& chain, const std::string& job) const {
    auto it = running_.find(key(chain, job));
    return it != running_.end() && it->second;
}

void Journal::set_running(const std::string& chain, const std::string& job, bool on) {
    if (on) running_[key(chain, job)] = true;
    else running_.erase(key(chain, job));
}

bool Journal::hash_of(const std::string& path, uint64_t size, int64_t modified, uint64_t* hash) const {
    std::string k = win::fold_case(path) + "|" + std::to_string(size) + "|" + std::to_string(modified);
    auto it = hashes_.find(k);
    if (it != hashes_.end()) {
        *hash = it->second;
        return true;
    }
    if (!content_hash(path, hash)) return false;
    hashes_.emplace(k, *hash);
    return true;
}

bool Journal::same(const Entry& e, uint64_t size, int64_t modified) const {
    if (size != e.size) return false;
    const int64_t tick = 1000000000; // a second: the coarsest time stamps the jobs' file systems keep
    if (modified == e.modified && e.modified + tick <= written_) return true;
    uint64_t h = 0;
    return hash_of(e.path, size, modified, &h) && h == e.hash;
}

} // namespace journal
