// Prints the version and the generation that OSDetector finds in this process, then the status
// of a detection document's os test for each argument, an attribute written name=value.
#include "machine/machine.h"
#include "rules/detection.h"
#include "utility/platform/osdetector.h"
#include "utility/text/strings.h"

#include <objbase.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const tarn::OSDetector& os = tarn::OSDetector::Instance();
    std::printf("%lu.%lu.%lu %d", os.VersionInfo().majorVersion, os.VersionInfo().minorVersion,
                os.VersionInfo().buildNumber, static_cast<int>(os.OSGeneration()));
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    for (int i = 1; i < argc; ++i) {
        std::string attribute = argv[i];
        attribute.replace(attribute.find('='), 1, "=\"");
        const std::u16string document =
            tarn::Utf8ToUtf16("<detection><expression><os platform=\"Windows\" " + attribute +
                              "\"/></expression></detection>");
        std::printf(" %ld", static_cast<long>(tarn::rules::EvaluateDetectionDocument(
                                tarn::LiveMachine(), document)));
    }
    std::printf("\n");
    CoUninitialize();
    return 0;
}
