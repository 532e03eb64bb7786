#include "support/logcapture.h"
#include "utility/log/report.h"
#include "utility/platform/osdetector.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(OSDetectorGeneration, WalksTheTable) {
    const struct {
        std::uint32_t major, minor;
        bool server;
        std::uint32_t releaseId;
        std::int32_t generation;
    } cases[] = {
        {4, 90, true, 0, 0},     {5, 0, false, 0, 17},     {5, 0, true, 0, 17},
        {5, 1, false, 0, 18},    {5, 2, false, 0, 18},     {5, 2, true, 0, 19},
        {6, 0, false, 0, 20},    {6, 0, true, 0, 21},      {6, 1, false, 0, 22},
        {6, 1, true, 0, 23},     {6, 2, false, 0, 24},     {6, 2, true, 0, 25},
        {6, 3, false, 0, 26},    {6, 3, true, 0, 27},      {6, 4, false, 0, 28},
        {10, 0, false, 0, 28},   {10, 0, false, 2004, 28}, {10, 0, true, 1607, 29},
        {10, 0, true, 1809, 30}, {10, 0, true, 1709, 29},  {10, 0, true, 0, 27},
        {10, 0, true, 1507, 27}, {11, 0, false, 0, 28},    {11, 0, false, 9999, 28},
        {11, 0, true, 0, 27},    {11, 0, true, 2009, 30},  {5, 1, true, 0, 27},
        {6, 5, false, 0, 28},    {10, 0, false, 1607, 28},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor << " server " << c.server
                                        << " release " << c.releaseId);
        EXPECT_EQ(GenerationFor(c.major, c.minor, c.server, c.releaseId), c.generation);
    }
}

TEST(OSDetectorReleaseId, ReadsAtMostFourDigits) {
    const struct {
        const char16_t* text;
        std::optional<std::uint32_t> number;
    } cases[] = {
        {u"2004", 2004u},     {u"1607a", 1607u},     {u"20H2", 20u},         {u"12345", 1234u},
        {u" 1809", 1809u},    {u"+1903", 190u},      {u"abc", std::nullopt}, {u"", std::nullopt},
        {u"-", std::nullopt}, {u"H2", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.number.value_or(0));
        EXPECT_EQ(ParseReleaseId(c.text), c.number);
    }
}

OSDetectorInputs Machine(DWORD major, DWORD minor, DWORD build, BYTE productType) {
    OSDetectorInputs inputs;
    inputs.version.size = kVersionRecordExtendedSize;
    inputs.version.majorVersion = major;
    inputs.version.minorVersion = minor;
    inputs.version.buildNumber = build;
    inputs.version.platformId = kPlatformNT;
    inputs.version.productType = productType;
    inputs.extendedInformation = true;
    return inputs;
}

constexpr BYTE kWorkstation = 1;

TEST(OSDetectorConstruction, DetectsServerAndServerCore) {
    const struct {
        DWORD platformId;
        bool extended;
        BYTE productType;
        const char16_t* installationType; // null: unreadable
        const char16_t* productOptions;
        bool server;
        bool serverCore;
    } cases[] = {
        {kPlatformNT, true, kWorkstation, nullptr, nullptr, false, false},
        {kPlatformNT, true, kProductServer, nullptr, nullptr, true, false},
        {kPlatformNT, true, kProductDomainController, nullptr, nullptr, true, false},
        {kPlatformNT, true, kProductServer, u"sErVeR cOrE", nullptr, true, true},
        {kPlatformNT, true, kProductServer, u"Server", nullptr, true, false},
        {kPlatformNT, true, kWorkstation, u"Server Core", u"ServerNT", false, false},
        // Without the extended record the product options decide.
        {kPlatformNT, false, kWorkstation, u"Server Core", u"LanmanNT", true, false},
        {kPlatformNT, false, kWorkstation, nullptr, u"SERVERNT", true, false},
        {kPlatformNT, false, kProductServer, nullptr, u"WinNT", false, false},
        {kPlatformNT, false, kProductServer, nullptr, nullptr, false, false},
        {1, true, kProductServer, u"Server Core", u"ServerNT", false, false},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(++row);
        OSDetectorInputs inputs = Machine(10, 0, 17763, c.productType);
        inputs.version.platformId = c.platformId;
        inputs.extendedInformation = c.extended;
        if (c.installationType != nullptr) {
            inputs.installationType = c.installationType;
        }
        if (c.productOptions != nullptr) {
            inputs.productOptionsType = c.productOptions;
        }
        const OSDetector detector(inputs);
        EXPECT_EQ(detector.isServer(), c.server);
        EXPECT_EQ(detector.isServerCore(), c.serverCore);
    }
}

// On a workstation or a server (whose generation it chooses); only an unparsable one is
// reported.
TEST(OSDetectorConstruction, ReleaseIdChoosesTheServerGeneration) {
    const struct {
        std::optional<std::u16string> releaseId;
        std::int32_t generation; // of the server
        bool warned;
    } cases[] = {
        {u"1607", 29, false}, {u"1809", 30, false}, {u"1607a", 29, false},
        {u"abc", 27, true},   {u"", 27, true},      {std::nullopt, 27, false},
    };
    for (const auto& c : cases) {
        for (const BYTE productType : {kWorkstation, kProductServer}) {
            const std::u16string text = c.releaseId.value_or(u"");
            SCOPED_TRACE(Utf16ToUtf8(text) + " on product type " + std::to_string(productType));
            OSDetectorInputs inputs = Machine(10, 0, 14393, productType);
            inputs.releaseId = c.releaseId;
            const test::LogCapture log;
            const OSDetector detector(inputs);
            EXPECT_EQ(detector.OSGeneration(), productType == kWorkstation ? 28 : c.generation);
            EXPECT_EQ(detector.ReleaseIdText(), text);
            const std::vector<test::LogRecord> records = log.RecordsFrom("System");
            ASSERT_EQ(records.size(), c.warned ? 1u : 0u);
            if (c.warned) {
                EXPECT_EQ(records[0].severity, CE_SEVERITY_WARNING);
                EXPECT_EQ(records[0].message,
                          "Failed to convert Release ID version from input string: '" +
                              Utf16ToUtf8(text) + "'.");
            }
        }
    }
}

TEST(OSDetectorConstruction, WowAnswerAndProcessWidthGiveTheSystemWidth) {
    const struct {
        std::optional<bool> answer;
        bool process64Bit;
        bool is64BitOS;
        bool isWow64;
    } cases[] = {
        // A 32-bit process: both flags are the WOW64 answer; a 64-bit process runs on a 64-bit
        // system and never under WOW64.
        {std::nullopt, false, false, false}, {false, false, false, false},
        {true, false, true, true},           {false, true, true, false},
        {std::nullopt, true, true, false},
    };
    for (const auto& c : cases) {
        OSDetectorInputs inputs = Machine(6, 1, 7601, kWorkstation);
        inputs.isWow64Process = c.answer;
        inputs.process64Bit = c.process64Bit;
        const OSDetector detector(inputs);
        EXPECT_EQ(detector.is64BitOS(), c.is64BitOS);
        EXPECT_EQ(detector.isWow64(), c.isWow64);
    }
}

TEST(OSDetectorConstruction, ComposesVersionAndTexts) {
    OSDetectorInputs inputs = Machine(6, 1, 7601, kWorkstation);
    inputs.version.servicePackMajor = 1;
    inputs.productName = u"Windows 7 Professional";
    const OSDetector detector(inputs);
    EXPECT_EQ(detector.Version(), 0x000600011DB10000ull);
    EXPECT_EQ(detector.VersionText(), u"6.1");
    EXPECT_EQ(detector.ServicePackText(), u"Service Pack 1");
    EXPECT_EQ(detector.ProductName(), u"Windows 7 Professional");
    EXPECT_EQ(detector.OSGeneration(), 22);
    inputs.extendedInformation = false;
    EXPECT_EQ(OSDetector(inputs).ServicePackText(), u"");
    inputs.extendedInformation = true;
    inputs.version.servicePackMajor = 0;
    EXPECT_EQ(OSDetector(inputs).ServicePackText(), u"");
    // A failed version query leaves a zeroed record.
    const OSDetector failed{OSDetectorInputs{}};
    EXPECT_EQ(failed.OSGeneration(), 0);
    EXPECT_EQ(failed.VersionText(), u"0.0");
    EXPECT_FALSE(failed.IsPlatformNT());
}

TEST(OSDetectorPlatformCheck, AcceptsNTFromWindows2000) {
    const struct {
        DWORD platformId, major;
        bool supported;
    } cases[] = {{2, 5, true}, {2, 10, true}, {2, 4, false}, {2, 3, true}, {1, 5, false}};
    for (const auto& c : cases) {
        OsVersionRecord record;
        record.platformId = c.platformId;
        record.majorVersion = c.major;
        EXPECT_EQ(IsSupportedPlatform(record), c.supported) << c.platformId << " " << c.major;
    }
}

} // namespace
} // namespace tarn
