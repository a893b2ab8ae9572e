// The ready list "zund7_ready_rus_str.txt", written back into the seventh
// title's tables and string file by applytodo_ready on a scratch prefix.
#include "support.hpp"

void applytodo_ready();

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::put_texts();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::put(std::string(fuzz::kText) + "\\zund7_ready_rus_str.txt", fuzz::text(data, size));
    fuzz::until_exit(applytodo_ready);
    return 0;
}
