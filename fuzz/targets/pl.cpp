// A ".pl" file (entry header and palette) joined with its packed pixels by
// comptgas, on a scratch prefix.
#include "support.hpp"

void comptgas();

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::put("c:\\games\\zund7\\xfiles\\readytga\\0000_icon_a.zl", std::string(100, 'x'));
    fuzz::put("c:\\games\\zund7\\xfiles\\icons_ready\\0000_icon_a.zl", "");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::put("c:\\games\\zund7\\xfiles\\readytga\\0000_icon_a.pl", fuzz::text(data, size));
    fuzz::until_exit(comptgas);
    return 0;
}
