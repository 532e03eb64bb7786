// Wine registry files from untrusted text, with lookups that must not depend on A-Z case.
#include "machine/image/regfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void LookUp(const tarn::image::RegFile& file, std::u16string_view path, std::u16string_view folded,
            std::u16string_view name) {
    if (file.Key(path) != file.Key(folded) || file.Value(path, name) != file.Value(folded, name)) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tarn::image::RegFile file =
        tarn::image::RegFile::Parse({reinterpret_cast<const char*>(data), size});
    LookUp(file, u"Software\\Wine", u"software\\wine", u"Version");
    LookUp(file, u"Software\\Microsoft\\Windows NT\\CurrentVersion",
           u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION", u"CurrentBuild");
    LookUp(file, u"A", u"a", u"");
    return 0;
}
