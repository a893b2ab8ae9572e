// A release's manifest as install reads it (a journal of an install is the
// same layout): any text is refused with a reason or read; what is read names
// only paths that stay inside the game's folder, and writes back to a text
// that reads the same.
#include "release/manifest.hpp"
#include "support.hpp"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    manifest::Manifest m;
    std::string why;
    if (!manifest::read(std::string(reinterpret_cast<const char*>(data), size), &m, &why)) {
        if (why.empty()) std::abort();
        return 0;
    }
    for (const manifest::Item& it : m.items)
        if (!manifest::safe_path(it.path, &why) || !manifest::safe_path(it.data, &why)) std::abort();
    manifest::Manifest again;
    if (!manifest::read(manifest::write(m), &again, &why) || again.items.size() != m.items.size() ||
        again.title != m.title || again.folders != m.folders)
        std::abort();
    return 0;
}
