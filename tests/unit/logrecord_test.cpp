#include "utility/log/logoverride.h"
#include "utility/log/logrecord.h"
#include "utility/text/strings.h"

#include "common/logrecords.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

using logrecord::Date;
using logrecord::ZoneState;

TEST(LogRecord, DateWithZoneOffset) {
    const struct {
        Date date;
        std::u16string text;
    } cases[] = {
        {{2019, 3, 7, 14, 5, 9, 123, -60}, u"03/07/2019 14:05:09.1230000 +01:00"},
        {{2024, 12, 31, 23, 59, 59, 999, 0}, u"12/31/2024 23:59:59.9990000 +00:00"},
        {{2001, 1, 2, 3, 4, 5, 6, 300}, u"01/02/2001 03:04:05.0060000 -05:00"},
        {{2001, 1, 2, 3, 4, 5, 60, -330}, u"01/02/2001 03:04:05.0600000 +05:30"},
        {{999, 7, 4, 0, 0, 0, 0, 45}, u"07/04/0999 00:00:00.0000000 -00:45"},
    };
    for (const auto& c : cases) {
        std::u16string out = u"x";
        logrecord::AppendDate(c.date, out);
        EXPECT_EQ(out, u"x" + c.text);
    }
}

TEST(LogRecord, BiasOfThePeriodInForce) {
    const struct {
        ZoneState state;
        std::int32_t bias;
    } cases[] = {
        {ZoneState::Standard, -60 + 0},
        {ZoneState::Daylight, -60 - 60},
        {ZoneState::Unknown, -60},
        {ZoneState::Unreadable, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(logrecord::ZoneBias(c.state, -60, 0, -60), c.bias);
    }
    EXPECT_EQ(logrecord::ZoneBias(ZoneState::Standard, 300, 15, -60), 315);
}

TEST(LogRecord, SourceIsEscapedForTheAttribute) {
    const struct {
        std::u16string source;
        std::u16string escaped;
    } cases[] = {
        {u"EvaluateExpressionNode", u"EvaluateExpressionNode"},
        {u"a&b", u"a&amp;b"},
        {u"<tag>", u"&lt;tag&gt;"},
        {u"say \"hi\" 'there'", u"say &quot;hi&quot; &apos;there&apos;"},
        {u"&amp;", u"&amp;amp;"},
        {u"", u""},
    };
    for (const auto& c : cases) {
        std::u16string out;
        logrecord::AppendEscapedSource(c.source, out);
        EXPECT_EQ(out, c.escaped);
    }
}

TEST(LogRecord, MessageIsPreparedForCdata) {
    const struct {
        std::u16string message;
        std::u16string stored;
    } cases[] = {
        {u"a\nb", u"a\r\nb"},
        {u"a\r\nb", u"a\r\nb"},
        {u"\n", u"\r\n"},
        {u"\n\n", u"\r\n\r\n"},
        {u"\r\r\n", u"\r\r\n"},
        {u"x]]>y", u"x]]&gt;y"},
        {u"x]]&gt;y", u"x]]&amp;gt;y"},
        {u"]]]>", u"]]]&gt;"},
        {u"]]>]]>", u"]]&gt;]]&gt;"},
        {u"]] >", u"]] >"},
        {std::u16string(1, u'\0'), std::u16string(1, u'\0')},
    };
    for (const auto& c : cases) {
        std::u16string out;
        logrecord::AppendCdataMessage(c.message, out);
        EXPECT_EQ(out, c.stored);
    }
}

logrecord::Fields ExampleFields() {
    return {{2019, 3, 7, 14, 5, 9, 123, -60},
            1,
            u"PC01",
            u"EvaluateExpressionNode",
            u"KpxTarnRuleProvider.dll",
            u"kpxqragent.exe",
            1234,
            5678,
            987654,
            u"Empty node name"};
}

TEST(LogRecord, RecordHasTheExactShape) {
    std::u16string record;
    logrecord::BuildRecord(ExampleFields(), record);
    EXPECT_EQ(record, u"\r\n<event date='03/07/2019 14:05:09.1230000 +01:00' severity='1' "
                      u"hostName='PC01' source='EvaluateExpressionNode' "
                      u"module='KpxTarnRuleProvider.dll' process='kpxqragent.exe' pid='1234' "
                      u"thread='5678' tickCount='987654' >\r\n"
                      u"  <![CDATA[Empty node name]]>\r\n</event>");
}

TEST(LogRecord, OnlyTheSourceIsEscaped) {
    logrecord::Fields fields = ExampleFields();
    fields.source = u"a'b";
    fields.processName = u"it's<mine>.exe";
    fields.hostName = u"h&h";
    std::u16string record;
    logrecord::BuildRecord(fields, record);
    EXPECT_NE(record.find(u"source='a&apos;b'"), std::u16string::npos);
    EXPECT_NE(record.find(u"process='it's<mine>.exe'"), std::u16string::npos);
    EXPECT_NE(record.find(u"hostName='h&h'"), std::u16string::npos);
}

TEST(LogRecord, RecordBuildingReusesTheBuffer) {
    std::u16string record;
    record.reserve(8192);
    const char16_t* storage = record.data();
    logrecord::BuildRecord(ExampleFields(), record);
    logrecord::BuildRecord(ExampleFields(), record);
    EXPECT_EQ(record.data(), storage);
}

// The tests' own reader of log files, over a header record, built records and damage.
TEST(LogRecord, RecordsReadBackThroughTheTestParser) {
    const std::u16string messages[] = {u"plain", u"a]]>b]]&c", u"\u00e9t\u00e9 \U0001F600",
                                       u"two\r\nlines"};
    std::string file =
        "<event date='d' severity='32' hostName='h' source='Log File Start' module='m' "
        "process='p' pid='1' thread='2' tickCount='3'>\r\n <![CDATA[header text]]>\r\n</event>";
    for (const std::u16string& message : messages) {
        logrecord::Fields fields = ExampleFields();
        fields.message = message;
        fields.source = u"s&<'\">";
        std::u16string record;
        logrecord::BuildRecord(fields, record);
        AppendUtf8(record, file);
    }
    const std::size_t damageAt = file.size();
    std::string error;
    const auto records = test::ParseLogRecords(file + file.substr(damageAt - 200), &error);
    EXPECT_NE(error.find(std::to_string(damageAt)), std::string::npos) << error;
    ASSERT_EQ(records.size(), std::size(messages) + 1);
    EXPECT_EQ(records[0].source, "Log File Start");
    EXPECT_EQ(records[0].severity, 32u);
    EXPECT_EQ(records[0].message, "header text");
    for (std::size_t i = 1; i < records.size(); ++i) {
        EXPECT_EQ(records[i].message, Utf16ToUtf8(messages[i - 1]));
        EXPECT_EQ(records[i].source, "s&<'\">");
        EXPECT_EQ(records[i].date, "03/07/2019 14:05:09.1230000 +01:00");
        EXPECT_EQ(records[i].severity, 1u);
        EXPECT_EQ(records[i].pid, 1234u);
        EXPECT_EQ(records[i].thread, 5678u);
        EXPECT_EQ(records[i].tickCount, 987654u);
        EXPECT_EQ(records[i].process, "kpxqragent.exe");
    }
}

TEST(LogRecord, FileNameSplitsAtTheLastDot) {
    const struct {
        std::u16string name;
        std::u16string base;
        std::u16string extension;
    } cases[] = {
        {u"Agent.log", u"Agent", u".log"},
        {u"my.agent.log", u"my.agent", u".log"},
        {u"noextension", u"noextension", u""},
        {u".hidden", u"", u".hidden"},
        {u"", u"", u""},
    };
    for (const auto& c : cases) {
        const logrecord::FileNameParts parts = logrecord::SplitFileName(c.name);
        EXPECT_EQ(parts.base, c.base);
        EXPECT_EQ(parts.extension, c.extension);
    }
}

TEST(LogOverride, VariableTextIsReadAsScanfReadsHex) {
    const struct {
        std::u16string text;
        std::uint32_t stored;
    } cases[] = {
        {u"1000008", 0x01000008},     {u"01000008", 0x01000008},
        {u"12345678", 0x02300078},    {u"0000003F", 0x0000003F},
        {u"3f", 0x0000003F},          {u"  \t3F", 0x0000003F},
        {u"0x3F", 0x0000003F},        {u"3FZZ", 0x0000003F},
        {u"123456789", 0x02300078}, // eight characters at most
        {u"-1", 0x0FF000FF},          {u"+10", 0x00000010},
        {u"FFFFFFFF", 0x0FF000FF},    {u"", logoverride::kNone},
        {u"ZZ", logoverride::kNone},  {u"-", logoverride::kNone},
        {u"   ", logoverride::kNone},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(logoverride::FromText(c.text), c.stored) << Utf16ToUtf8(c.text);
    }
    EXPECT_EQ(logoverride::ToText(0x01000008), u"01000008");
    EXPECT_EQ(logoverride::ToText(0x0FF000FF), u"0FF000FF");
}

} // namespace
} // namespace tarn
