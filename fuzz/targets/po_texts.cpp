// A translated PO file matched with the texts of the seventh title's tables
// as importpo (and status) match them, on a scratch prefix.
#include "jobs/texts/ready.hpp"
#include "platform/io.hpp"
#include "support.hpp"

#include <string>

namespace {
std::string todo;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::put_texts();
    FILE* f = std::fopen(fuzz::host(fuzz::kTodo).c_str(), "rb");
    std::vector<uint8_t> b = io::read_all(f);
    todo.assign(b.begin(), b.end());
    std::fclose(f);
    tables::enter(fuzz::kText);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* td = fuzz::open(reinterpret_cast<const uint8_t*>(todo.data()), todo.size());
    FILE* pf = fuzz::open(data, size);
    ready::Problems problems(false);
    uint32_t n = 0, stale = 0;
    bool whole = true;
    fuzz::until_exit([&] {
        ready::po_texts(td, fuzz::kTodo, pf, "zund7.po", problems,
                        [&](const tables::Text& t, ready::Outcome, std::string_view, bool) {
                            if (t.n != n++) std::abort();
                        },
                        &stale, &whole);
    });
    std::fclose(pf);
    std::fclose(td);
    return 0;
}
