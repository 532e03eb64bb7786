#include "utility/log/logoverride.h"
#include "utility/log/logrecord.h"
#include "utility/text/strings.h"

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
        {{2001, 1, 2, 3, 4, 5, 6, -330}, u"01/02/2001 03:04:05.0060000 +05:30"},
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
        {u"<a&b>", u"&lt;a&amp;b&gt;"},
        {u"say \"hi\" 'there'", u"say &quot;hi&quot; &apos;there&apos;"},
        {u"&amp;", u"&amp;amp;"},
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
        {u"\n\n", u"\r\n\r\n"},
        {u"\r\r\n", u"\r\r\n"},
        {u"x]]>y", u"x]]&gt;y"},
        {u"x]]&gt;y", u"x]]&amp;gt;y"},
        {u"]]]>]]>", u"]]]&gt;]]&gt;"},
        {u"]] >", u"]] >"},
        {std::u16string(1, u'\0'), std::u16string(1, u'\0')},
    };
    for (const auto& c : cases) {
        std::u16string out;
        logrecord::AppendCdataMessage(c.message, out);
        EXPECT_EQ(out, c.stored);
    }
}

// Only the source is escaped; the other attributes are written as they are.
TEST(LogRecord, RecordHasTheExactShape) {
    const logrecord::Fields fields = {{2019, 3, 7, 14, 5, 9, 123, -60},
                                      1,
                                      u"h&h",
                                      u"Evaluate'Node",
                                      u"KpxTarnRuleProvider.dll",
                                      u"it's<mine>.exe",
                                      1234,
                                      5678,
                                      987654,
                                      u"Empty node name"};
    std::u16string record = u"stale";
    logrecord::BuildRecord(fields, record);
    EXPECT_EQ(record, u"\r\n<event date='03/07/2019 14:05:09.1230000 +01:00' severity='1' "
                      u"hostName='h&h' source='Evaluate&apos;Node' "
                      u"module='KpxTarnRuleProvider.dll' process='it's<mine>.exe' pid='1234' "
                      u"thread='5678' tickCount='987654' >\r\n"
                      u"  <![CDATA[Empty node name]]>\r\n</event>");
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
