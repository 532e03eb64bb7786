#include "utility/log/logrecord.h"

#include "utility/text/format.h"

namespace tarn::logrecord {

namespace {

void AppendDecimal(std::uint32_t value, std::u16string& out) {
    char16_t digits[10];
    std::size_t n = 0;
    do {
        digits[n++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) {
        out.push_back(digits[--n]);
    }
}

bool StartsWith(std::u16string_view text, std::size_t at, std::u16string_view piece) {
    return text.substr(at, piece.size()) == piece;
}

} // namespace

void AppendDate(const Date& date, std::u16string& out) {
    const std::int32_t bias = date.biasMinutes;
    const std::uint32_t magnitude =
        bias < 0 ? 0u - static_cast<std::uint32_t>(bias) : static_cast<std::uint32_t>(bias);
    char16_t text[64];
    const std::size_t n =
        FormatTo(text, 64, u"%02d/%02d/%04d %02d:%02d:%02d.%03d0000 %c%02d:%02d", date.month,
                 date.day, date.year, date.hour, date.minute, date.second, date.milliseconds,
                 bias > 0 ? u'-' : u'+', magnitude / 60, magnitude % 60);
    out.append(text, n);
}

void AppendEscapedSource(std::u16string_view source, std::u16string& out) {
    for (const char16_t c : source) {
        switch (c) {
        case u'&':
            out.append(u"&amp;");
            break;
        case u'>':
            out.append(u"&gt;");
            break;
        case u'<':
            out.append(u"&lt;");
            break;
        case u'"':
            out.append(u"&quot;");
            break;
        case u'\'':
            out.append(u"&apos;");
            break;
        default:
            out.push_back(c);
        }
    }
}

void AppendCdataMessage(std::u16string_view message, std::u16string& out) {
    for (std::size_t i = 0; i < message.size();) {
        if (message[i] == u'\n' && (i == 0 || message[i - 1] != u'\r')) {
            out.append(u"\r\n");
            ++i;
        } else if (StartsWith(message, i, u"]]&")) {
            out.append(u"]]&amp;");
            i += 3;
        } else if (StartsWith(message, i, u"]]>")) {
            out.append(u"]]&gt;");
            i += 3;
        } else {
            out.push_back(message[i++]);
        }
    }
}

void BuildRecord(const Fields& f, std::u16string& record) {
    record.clear();
    record.append(u"\r\n<event date='");
    AppendDate(f.date, record);
    record.append(u"' severity='");
    AppendDecimal(f.severity, record);
    record.append(u"' hostName='");
    record.append(f.hostName);
    record.append(u"' source='");
    AppendEscapedSource(f.source, record);
    record.append(u"' module='");
    record.append(f.moduleName);
    record.append(u"' process='");
    record.append(f.processName);
    record.append(u"' pid='");
    AppendDecimal(f.processId, record);
    record.append(u"' thread='");
    AppendDecimal(f.threadId, record);
    record.append(u"' tickCount='");
    AppendDecimal(f.tickCount, record);
    record.append(u"'");
    record.append(u" >\r\n  <![CDATA[");
    AppendCdataMessage(f.message, record);
    record.append(u"]]>\r\n</event>");
}

namespace {

constexpr std::size_t kHeaderBytes = 2340; // terminator included

// The text in the C locale's multibyte form: ASCII only.
bool AppendNarrow(std::u16string_view text, std::string& out) {
    for (const char16_t c : text) {
        if (c >= 0x80) {
            return false;
        }
        out.push_back(static_cast<char>(c));
    }
    return true;
}

std::u16string DecimalText(std::uint32_t value) {
    std::u16string text;
    AppendDecimal(value, text);
    return text;
}

} // namespace

std::optional<std::string> BuildHeader(const Fields& f, std::u16string_view text) {
    std::u16string date;
    AppendDate(f.date, date);
    const std::u16string pid = DecimalText(f.processId);
    const std::u16string thread = DecimalText(f.threadId);
    const std::u16string tick = DecimalText(f.tickCount);
    const std::u16string_view pieces[] = {u"<event date='",
                                          date,
                                          u"' severity='32' hostName='",
                                          f.hostName,
                                          u"' source='Log File Start' module='",
                                          f.moduleName,
                                          u"' process='",
                                          f.processName,
                                          u"' pid='",
                                          pid,
                                          u"' thread='",
                                          thread,
                                          u"' tickCount='",
                                          tick,
                                          u"'>\r\n <![CDATA[",
                                          text,
                                          u"]]>\r\n</event>"};
    std::string header;
    for (const std::u16string_view piece : pieces) {
        if (!AppendNarrow(piece, header)) {
            return std::nullopt;
        }
    }
    if (header.size() >= kHeaderBytes) {
        return std::nullopt;
    }
    return header;
}

} // namespace tarn::logrecord
