// 1,000 file-version rules against an offline image, and the plain-C floor over the same files
// (bench/versionfloor.c): what the image machine adds to finding, reading and parsing.
#include "machine/image/imagemachine.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/xml/dom.h"
#include "support/pebuilder.h"
#include "utility/text/strings.h"
#include "versionfloor.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
constexpr int kFiles = 1000;

// A Wine prefix with the registry a version rule reads and 1,000 versioned DLLs in C:\bench.
class BenchImage {
public:
    BenchImage()
        : root_(fs::temp_directory_path() / ("tarn-image-bench-" + std::to_string(getpid()))) {
        fs::create_directories(root_ / "drive_c/windows/system32");
        fs::create_directories(root_ / "drive_c/bench");
        std::ofstream(root_ / "system.reg")
            << "WINE REGISTRY Version 2\n\n"
               "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion]\n"
               "\"CurrentVersion\"=\"6.1\"\n\"SystemRoot\"=\"C:\\\\windows\"\n\n"
               "[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment]\n"
               "\"PROCESSOR_ARCHITECTURE\"=\"AMD64\"\n";
        std::ofstream(root_ / "user.reg") << "WINE REGISTRY Version 2\n";
        std::ofstream(root_ / "userdef.reg") << "WINE REGISTRY Version 2\n";
        for (int i = 0; i < kFiles; ++i) {
            const std::vector<std::uint8_t> image = tarn::test::PeImageWithResource(
                tarn::test::VersionInfoResource(true, 0x00020000u + i % 7, 0x00010000u));
            std::ofstream(HostPath(i), std::ios::binary)
                .write(reinterpret_cast<const char*>(image.data()),
                       static_cast<std::streamsize>(image.size()));
        }
    }
    ~BenchImage() { fs::remove_all(root_); }

    const fs::path& Root() const { return root_; }
    std::string HostPath(int i) const { return (root_ / "drive_c/bench" / Name(i)).string(); }
    static std::string Name(int i) { return "f" + std::to_string(i) + ".dll"; }

private:
    fs::path root_;
};

// Made once: the benchmark functions run several times.
const BenchImage& Image() {
    static const BenchImage image;
    return image;
}

void FileVersionRulesOnAnImage(benchmark::State& state, const std::u16string& folder) {
    const BenchImage& image = Image();
    std::string error;
    const std::unique_ptr<tarn::image::ImageMachine> machine =
        tarn::image::ImageMachine::Open({image.Root(), 0, u""}, error);
    if (!machine) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::u16string rules = u"<rules>";
    for (int i = 0; i < kFiles; ++i) {
        rules += u"<SRFileVersion Csidl='255' Path='C:\\" + folder + u"\\" +
                 tarn::Utf8ToUtf16(BenchImage::Name(i)) +
                 u"' Comparison='HIGHER_OR_SAME' version='2.3'/>";
    }
    tarn::xml::CreateResult created = tarn::xml::TryCreateDocument();
    created.document->LoadXml(rules + u"</rules>");
    std::vector<tarn::xml::Node> elements;
    tarn::xml::NodeList children = created.document->DocumentElement().ChildNodes();
    for (tarn::xml::Node node = children.NextNode(); node; node = children.NextNode()) {
        elements.push_back(node);
    }
    tarn::rules::RuleProvider provider(*machine);
    for (auto _ : state) {
        for (const tarn::xml::Node& element : elements) {
            benchmark::DoNotOptimize(provider.EvaluateExpressionNode(element, false));
        }
    }
}
// The folder named as it is stored, and in capitals: found through its folder's listing.
BENCHMARK_CAPTURE(FileVersionRulesOnAnImage, same_case, std::u16string(u"bench"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FileVersionRulesOnAnImage, other_case, std::u16string(u"BENCH"))
    ->Unit(benchmark::kMillisecond);

void FileVersionFloorInC(benchmark::State& state) {
    const BenchImage& image = Image();
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        paths.push_back(image.HostPath(i));
    }
    for (auto _ : state) {
        for (const std::string& path : paths) {
            benchmark::DoNotOptimize(floor_file_version_at_least(path.c_str(), 0x00020003u, 0));
        }
    }
}
BENCHMARK(FileVersionFloorInC)->Unit(benchmark::kMillisecond);

} // namespace
