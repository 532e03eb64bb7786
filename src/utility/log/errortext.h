// The text of a Windows error code or HRESULT for log messages.
#pragma once

#include <cstdint>
#include <string>

// Option bits of GetErrorText.
enum : std::uint32_t {
    ERRORTEXT_DECORATE_1 = 1, // decorations chosen by bits 1, 2 and 4
    ERRORTEXT_DECORATE_2 = 2,
    ERRORTEXT_DECORATE_4 = 4,
    ERRORTEXT_NO_FALLBACK = 8, // empty text when no source knows the code
    ERRORTEXT_PREFER_WMI = 16, // the WMI text even when the system has one
};

// The text of `code` in `language` (then in the default language), without its final line
// end and full stop. Without a text: empty when options has 8, else
// "No error description available (0x%08X)" when options has 1, 2 or 4, else
// "No error description available". Never fails, never reports.
std::u16string GetErrorText(std::uint32_t code, std::uint32_t options, std::uint16_t language);

// Options 8, language 1033: empty for codes that no source knows.
std::u16string GetErrorText(std::uint32_t code);

// GetErrorText of the thread's last-error code; the last-error code is left as it was.
std::u16string GetLastErrorText();
