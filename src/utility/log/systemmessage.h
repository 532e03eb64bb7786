// The operating system's message table: the text that the system has for an error code or
// HRESULT, as the system returns it (inserts left as they are, ending in "\r\n").
#pragma once

#include <cstdint>
#include <string>

namespace tarn {

// Language identifiers as the system's message lookup takes them.
inline constexpr std::uint16_t kLanguageNeutral = 0x0000;     // the system's search order
inline constexpr std::uint16_t kLanguageUserDefault = 0x0400; // neutral, default sublanguage
inline constexpr std::uint16_t kLanguageEnglishUs = 0x0409;   // 1033

// The system's text for `code` in `language`; empty when the system has none in it.
std::u16string SystemMessageText(std::uint32_t code, std::uint16_t language);

// Off Windows, what WinINet's message table holds for the codes of 12000 to 12186 that this
// system meets, in the same form.
std::u16string WinInetMessageText(std::uint32_t code, std::uint16_t language);

} // namespace tarn
