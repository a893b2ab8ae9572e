// openbigtext: checks that the three parallel text files of the folder
// bigtext (the sixth title in English and in Russian, the seventh in
// English) can be opened; reads and writes nothing.
#include "jobs/texts/tables.hpp"
#include "platform/io.hpp"

#include <cstdio>

void openbigtext() {
    tables::enter("c:\\games\\zund7\\xfiles\\bigtext");
    FILE* eng6 = io::open_or_die("zund6eng.txt", "rt");
    FILE* rus6 = io::open_or_die("zund6rus.txt", "rt");
    FILE* eng7 = io::open_or_die("zund7eng.txt", "rb");
    std::fclose(rus6);
    std::fclose(eng6);
    std::fclose(eng7);
}
