// make's journal as make and status read it from c:\games\locbench.journal:
// any text loads (a line it cannot read passed over), and what loaded saves
// and loads again to the same records.
#include "status/journal.hpp"
#include "support.hpp"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::put("c:\\games\\locbench.journal", fuzz::text(data, size));
    journal::Journal j;
    j.load();
    if (!j.save()) std::abort();
    journal::Journal k;
    k.load();
    if (k.empty() != j.empty()) std::abort();
    return 0;
}
