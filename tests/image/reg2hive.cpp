// tarn_reg2hive IN.reg OUT.hive [KEY]: a real-format hive with every key and value of a Wine
// registry file (or those below KEY, as the hive's root), so that the same documents can be
// evaluated against SOFTWARE, SYSTEM and NTUSER.DAT files built from a Wine prefix:
//   tarn_reg2hive system.reg SOFTWARE Software
//   tarn_reg2hive system.reg SYSTEM System      (CurrentControlSet written as ControlSet00N)
//   tarn_reg2hive user.reg NTUSER.DAT
#include "image/hivebuilder.h"

#include "utility/text/strings.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::cerr << "usage: tarn_reg2hive IN.reg OUT.hive [KEY]\n";
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
    if (!tarn::image::testing::WriteHive(
            reg, argv[2], error, argc == 4 ? tarn::Utf8ToUtf16(argv[3]) : std::u16string())) {
        std::cerr << "tarn_reg2hive: " << error << "\n";
        return 1;
    }
    std::cout << argv[2] << " written\n";
    return 0;
}
