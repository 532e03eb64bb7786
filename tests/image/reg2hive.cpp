// tarn_reg2hive IN.reg OUT.hive: a real-format hive with every key and value of a Wine
// registry file, so that the same documents can be evaluated against SOFTWARE, SYSTEM and
// NTUSER.DAT files built from a Wine prefix's system.reg and user.reg.
#include "image/hivebuilder.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: tarn_reg2hive IN.reg OUT.hive\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        std::cerr << "tarn_reg2hive: cannot read " << argv[1] << "\n";
        return 1;
    }
    const tarn::image::RegFile reg = tarn::image::RegFile::Parse(text.str());
    std::string error;
    if (!tarn::image::testing::WriteHive(reg, argv[2], error)) {
        std::cerr << "tarn_reg2hive: " << error << "\n";
        return 1;
    }
    std::cout << reg.KeyCount() << " keys written to " << argv[2] << "\n";
    return 0;
}
