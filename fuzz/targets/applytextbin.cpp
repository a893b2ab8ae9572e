// dumptextbin's list as a translator fills it in, checked against text.bin
// and written into its copy by applytextbin on a scratch prefix.
#include "support.hpp"

void applytextbin();

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::put(fuzz::kBin, fuzz::kBinBytes);
    fuzz::put("c:\\games\\Brassjaw\\xfiles\\text_!\\text.bin", "");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::put("c:\\games\\Brassjaw\\xfiles\\text.txt", fuzz::text(data, size));
    fuzz::until_exit(applytextbin);
    return 0;
}
