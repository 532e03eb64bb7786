// Where error texts come from: the system's message table and the three message libraries
// (the agent extension library, WMI's and WinINet's). GetErrorText decides which to ask and
// in what order; a source only answers, so that the decisions can be tried on a fake one.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>

namespace tarn {

enum class MessageLibrary { Agent, Wmi, WinInet };

// One insert of a message: a number or a string, as the message's format reads it.
using MessageInsert = std::variant<std::uint32_t, const char16_t*>;

// The agent extension library's messages.
inline constexpr std::uint32_t kAgentNoDescription = 0x8FA20000;    // %1 = the code
inline constexpr std::uint32_t kAgentDecorated = 0x8FA20001;        // %1 = text, %2 = code
inline constexpr std::uint32_t kAgentDecoratedNetwork = 0x8FA20002; // %1 = text, %2 = code

class MessageSource {
public:
    virtual ~MessageSource() = default;
    // The system's text for `code` in `language`, inserts left as they are; empty when none.
    virtual std::u16string SystemText(std::uint32_t code, std::uint16_t language) = 0;
    virtual bool IsLoaded(MessageLibrary library) = 0;
    // Message `id` of `library` in `language`, with `inserts` substituted (none given: the
    // inserts are left as they are); empty when the library is not loaded, has no such
    // message in that language, or the formatting fails.
    virtual std::u16string LibraryText(MessageLibrary library, std::uint32_t id,
                                       std::uint16_t language,
                                       std::span<const MessageInsert> inserts) = 0;
};

// The platform's sources; the libraries are loaded on first use.
MessageSource& LiveMessageSource();

// GetErrorText over `source`.
std::u16string SelectErrorText(MessageSource& source, std::uint32_t code, std::uint32_t options,
                               std::uint16_t language);

} // namespace tarn
