#include "utility/log/report.h"

#include "support/logcapture.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

namespace tarn {
namespace {

using test::LogCapture;
using test::LogRecord;

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

TEST(ReportFilter, EffectiveSeverityAndWantedness) {
    const struct {
        std::uint32_t severity;
        std::uint32_t override;
        std::uint32_t mask;
        std::uint32_t effective;
        bool wanted;
    } cases[] = {
        {1, kNone, 7, 1, true},
        {4, kNone, 7, 4, true},
        {8, kNone, 7, 8, false},
        {0, kNone, 7, 1, true},
        {64, kNone, 7, 32, false},
        {0xFF, kNone, 0xFF, 32, true},
        {3, kNone, 8, 3, false},
        {CE_MODE_FORCE_TRACE | 1, kNone, 15, 8, true},
        {CE_MODE_ERRORS_AS_INFO | 0, kNone, 4, 4, true},
        {CE_MODE_ERRORS_AS_INFO | 2, kNone, 7, 2, true},
        {0x00300000 | 1, kNone, 7, 1, true}, // other field values do nothing
        {CE_MODE_SUPPRESS | 1, kNone, 7, 1, false},
        // An override's mode bits replace the caller's; its low byte adds to the mask.
        {8, 0x0000003F, 7, 8, true},
        {32, 0x00000008, 7, 32, false},
        {CE_MODE_SUPPRESS | 1, 0x00000000, 7, 1, true},
        {1, 0x00100000, 7, 8, false},
        {0, 0x00200000, 7, 4, true},
        {1, 0x02000000, 7, 1, false},
        {4, 0x01000008, 0, 4, false},
    };
    for (const auto& c : cases) {
        const report::Filter filter = report::ComputeFilter(c.severity, c.override);
        EXPECT_EQ(filter.effectiveSeverity, c.effective)
            << std::hex << c.severity << " " << c.override;
        EXPECT_EQ(report::Wanted(filter, c.mask), c.wanted)
            << std::hex << c.severity << " " << c.override;
    }
}

TEST(Report, SeverityWords) {
    const struct {
        std::uint32_t severity;
        std::u16string word;
    } cases[] = {{1, u"*ERRR"},  {2, u"*WARN"},  {4, u" INFO"}, {8, u"<TRC>"},
                 {16, u"<VRB>"}, {32, u"<DBG>"}, {3, u"?UNKN"}, {0, u"?UNKN"}};
    for (const auto& c : cases) {
        EXPECT_EQ(SeverityWord(c.severity), c.word);
    }
}

std::u16string AtSource(const char* file, int line) {
    char16_t source[report::kAtSourceBytes];
    return report::AtSourceInto(source, file, line) ? std::u16string(source) : u"";
}

TEST(Report, SourceOfAPosition) {
    const std::string fits(287, 'n');
    const struct {
        const char* file;
        int line;
        std::u16string source;
    } cases[] = {
        {"kpxversionrc.h", 54, u"kpxversionrc(54)"},
        {"dir.d\\file", 3, u"file(3)"},
        {"a.b.c", 2, u"a.b(2)"},
        {"/posix/path/x.cpp", 9, u"/posix/path/x(9)"}, // only backslashes separate
        {nullptr, 5, u"(5)"},
        {"caf\xe9.h", 1, u"caf\u00e9(1)"}, // Latin-1 when not UTF-8
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AtSource(c.file, c.line), c.source) << (c.file ? c.file : "null");
    }
    // 291 bytes and the terminating NUL fit; one more does not.
    EXPECT_EQ(AtSource((fits + ".h").c_str(), 12).size(), 291u);
    EXPECT_EQ(AtSource((fits + "n.h").c_str(), 12), u"");
}

TEST(Report, RecordsCarryTheEffectiveSeverity) {
    // The test binary's override (0000003F) lets every severity through and replaces the
    // callers' mode bits.
    const struct {
        std::uint32_t severity;
        std::uint32_t written;
    } cases[] = {
        {0, 1}, {3, 3}, {0x1FF, 32}, {CE_MODE_FORCE_TRACE | 1, 1}, {CE_MODE_SUPPRESS | 2, 2}};
    for (const auto& c : cases) {
        const LogCapture capture;
        CEReportEvent(c.severity, u"ReportSeverity", u"m");
        const std::vector<LogRecord> records = capture.RecordsFrom("ReportSeverity");
        ASSERT_EQ(records.size(), 1u) << std::hex << c.severity;
        EXPECT_EQ(records[0].severity, c.written) << std::hex << c.severity;
    }
}

TEST(Report, RecordCarriesTheProcessIdentity) {
    const LogCapture capture;
    CEReportEvent(CE_SEVERITY_ERROR, u"Report<Identity>", u"Empty node name");
    const std::vector<LogRecord> records = capture.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].source, "Report<Identity>");
    EXPECT_EQ(records[0].module, "tarn_unit_tests");
    EXPECT_EQ(records[0].process, "tarn_unit_tests");
    EXPECT_EQ(records[0].pid, static_cast<std::uint32_t>(::getpid()));
    EXPECT_EQ(records[0].thread, static_cast<std::uint32_t>(::gettid()));
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    EXPECT_EQ(records[0].hostName, std::string(host).substr(0, std::string(host).find('.')));
}

TEST(Report, NothingIsWrittenWithoutMessageOrSource) {
    const LogCapture capture;
    CEReportEvent(CE_SEVERITY_ERROR, u"ReportEmpty", nullptr);
    CEReportEvent(CE_SEVERITY_ERROR, u"ReportEmpty", u"");
    CEReportEvent(CE_SEVERITY_ERROR, nullptr, u"no source");
    CEReportEvent(CE_SEVERITY_ERROR | CE_MODE_CONSOLE, nullptr, u"no source");
    EXPECT_TRUE(capture.Records().empty());
}

TEST(Report, FormatWrapperCutsAt4095) {
    const LogCapture capture;
    const std::u16string longText(5000, u'z');
    CEReportEventFormat(CE_SEVERITY_WARNING, u"ReportFormat", u"%s|%d", longText, 7);
    CEReportEventFormat(CE_SEVERITY_INFO, u"ReportFormat", u"%ls has %hs %d", u"wide", "narrow", 3);
    CEReportEventFormat(CE_SEVERITY_INFO, u"ReportFormat", u"literal");
    const std::vector<LogRecord> records = capture.RecordsFrom("ReportFormat");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].message, std::string(4095, 'z'));
    EXPECT_EQ(records[0].severity, 2u);
    EXPECT_EQ(records[1].message, "wide has narrow 3");
    EXPECT_EQ(records[2].message, "literal");
}

TEST(Report, ErrorWrapperAppendsTheErrorTextWhenThereIsRoom) {
    const struct {
        std::u16string text;
        std::uint32_t error;
        std::string message;
    } cases[] = {
        {u"Opening y", 0xE0001234, "Opening y, error: No error description available (0xE0001234)"},
        {std::u16string(4090, u'a'), 2, std::string(4090, 'a') + ", err"},
        {std::u16string(4200, u'c'), 2, std::string(4095, 'c')},
    };
    for (const auto& c : cases) {
        const LogCapture capture;
        CEReportEventError(CE_SEVERITY_ERROR, u"ReportError", c.error, u"%s", c.text);
        const std::vector<LogRecord> records = capture.RecordsFrom("ReportError");
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].message, c.message);
    }
    // An empty formatted text stays empty, so nothing is written.
    const LogCapture capture;
    CEReportEventError(CE_SEVERITY_ERROR, u"ReportError", 2, u"");
    EXPECT_TRUE(capture.Records().empty());
}

int failedReturnLine = 0;

HRESULT ReturnsThrough(HRESULT hr, bool& after) {
    failedReturnLine = __LINE__ + 1;
    FAILED_RETURN(hr);
    after = true;
    return S_OK;
}

TEST(Report, FailedReturnReportsAndReturns) {
    const LogCapture capture;
    bool after = false;
    EXPECT_EQ(ReturnsThrough(E_FAIL, after), E_FAIL);
    EXPECT_FALSE(after);
    EXPECT_EQ(ReturnsThrough(S_FALSE, after), S_OK);
    EXPECT_TRUE(after);
    const std::vector<LogRecord> records = capture.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].source, "report_test(" + std::to_string(failedReturnLine) + ")");
    EXPECT_EQ(records[0].message, "FAILED_RETURN 80004005");
    EXPECT_EQ(records[0].severity, 2u);
}

TEST(Report, FailedThrowReportsAndThrowsTheCode) {
    const LogCapture capture;
    const int line = __LINE__ + 2;
    try {
        FAILED_THROW(static_cast<HRESULT>(0x8007000E));
        ADD_FAILURE() << "not thrown";
    } catch (const BareStatus& status) {
        EXPECT_EQ(status.code, E_OUTOFMEMORY);
    }
    FAILED_THROW(S_OK);
    const std::vector<LogRecord> records = capture.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].source, "report_test(" + std::to_string(line) + ")");
    EXPECT_EQ(records[0].message, "FAILED_THROW 8007000e");
}

TEST(Report, AtWrapperNamesTheSourcePosition) {
    const LogCapture capture;
    CEReportEventAt(CE_SEVERITY_INFO, "C:\\build\\kpxversionrc.h", 54, u"version %d.%d", 1, 2);
    CEReportEventAt(CE_SEVERITY_INFO, (std::string(300, 'x') + ".h").c_str(), 1, u"lost");
    const std::vector<LogRecord> records = capture.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].source, "kpxversionrc(54)");
    EXPECT_EQ(records[0].message, "version 1.2");
}

} // namespace
} // namespace tarn
