// What the two implementations of win.hpp share; not for the jobs.
#pragma once

#include "platform/win.hpp"

#include <cstdint>
#include <vector>

namespace win::detail {

// Sets the runtime error number (only failing calls do).
void fail_with(int e);

// Starts a search over the matches a system's findfirst collected: hands out
// the first (in name_less order) in *fd and keeps the others for findnext.
// -1 (ENOENT) when there are none.
intptr_t start_search(std::vector<FindData> matches, FindData* fd);

} // namespace win::detail
