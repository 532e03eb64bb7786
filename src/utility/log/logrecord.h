// The byte-exact shape of one record of the shared agent log, built without touching the
// system: the date, the escaped source, the message prepared for its CDATA section.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn::logrecord {

// Local time of a record and the zone's bias: minutes to add to local time to get UTC.
struct Date {
    std::uint16_t year;
    std::uint16_t month;
    std::uint16_t day;
    std::uint16_t hour;
    std::uint16_t minute;
    std::uint16_t second;
    std::uint16_t milliseconds;
    std::int32_t biasMinutes;
};

// What the time-zone information says is in force.
enum class ZoneState { Unknown, Standard, Daylight, Unreadable };

// The bias of a record from the zone's bias and the adjustment of the period in force.
constexpr std::int32_t ZoneBias(ZoneState state, std::int32_t bias, std::int32_t standardBias,
                                std::int32_t daylightBias) noexcept {
    switch (state) {
    case ZoneState::Standard:
        return bias + standardBias;
    case ZoneState::Daylight:
        return bias + daylightBias;
    case ZoneState::Unknown:
        return bias;
    case ZoneState::Unreadable:
        break;
    }
    return 0;
}

struct Fields {
    Date date;
    std::uint32_t severity;
    std::u16string_view hostName;
    std::u16string_view source;
    std::u16string_view moduleName;
    std::u16string_view processName;
    std::uint32_t processId;
    std::uint32_t threadId;
    std::uint32_t tickCount;
    std::u16string_view message;
};

// "MM/DD/YYYY hh:mm:ss.fff0000 +hh:mm".
void AppendDate(const Date& date, std::u16string& out);
// & > < " ' as entities.
void AppendEscapedSource(std::u16string_view source, std::u16string& out);
// Bare line feeds become CR LF; "]]&" and "]]>" are defused so the CDATA section holds.
void AppendCdataMessage(std::u16string_view message, std::u16string& out);

// Replaces `record` with the complete record, leading CR LF included. Appending keeps to the
// capacity `record` already has when the record fits it.
void BuildRecord(const Fields& fields, std::u16string& record);

// The header record that starts a new or emptied log file, in 8-bit text: `text` unprocessed,
// severity 32 and source "Log File Start", with the date, names and numbers of the record that
// follows. Nothing when it does not fit its 2340-byte buffer or holds text beyond ASCII, which
// the runtime's default locale cannot convert.
std::optional<std::string> BuildHeader(const Fields& fields, std::u16string_view text);

} // namespace tarn::logrecord
