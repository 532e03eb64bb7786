#include "utility/log/messagesource.h"

#include "utility/log/systemmessage.h"
#include "utility/platform/messagelibraries.h"
#include "utility/platform/wintypes.h"

#include <array>

namespace tarn {

namespace {

// Owns a buffer that FormatMessageW allocated with LocalAlloc.
class MessageBuffer {
public:
    MessageBuffer() = default;
    MessageBuffer(const MessageBuffer&) = delete;
    MessageBuffer& operator=(const MessageBuffer&) = delete;
    ~MessageBuffer() {
        if (text_ != nullptr) {
            LocalFree(text_);
        }
    }
    LPWSTR Out() { return reinterpret_cast<LPWSTR>(&text_); }
    const wchar_t* Get() const { return text_; }

private:
    wchar_t* text_ = nullptr;
};

HMODULE ModuleOf(MessageLibrary library) {
    switch (library) {
    case MessageLibrary::Agent:
        return static_cast<HMODULE>(AgentExtensionLibrary::Instance().Module());
    case MessageLibrary::Wmi:
        return static_cast<HMODULE>(ErrorMessageLibraries::Instance().Wmi());
    case MessageLibrary::WinInet:
        return static_cast<HMODULE>(ErrorMessageLibraries::Instance().WinInet());
    }
    return nullptr;
}

class LiveSource final : public MessageSource {
public:
    std::u16string SystemText(std::uint32_t code, std::uint16_t language) override {
        return SystemMessageText(code, language);
    }
    bool IsLoaded(MessageLibrary library) override { return ModuleOf(library) != nullptr; }
    std::u16string LibraryText(MessageLibrary library, std::uint32_t id, std::uint16_t language,
                               std::span<const MessageInsert> inserts) override {
        const HMODULE module = ModuleOf(library);
        if (module == nullptr) {
            return {};
        }
        // Strings go in as pointers and numbers as values, as the message's format reads them.
        std::array<DWORD_PTR, 2> arguments{};
        if (inserts.size() > arguments.size()) {
            return {};
        }
        for (std::size_t i = 0; i < inserts.size(); ++i) {
            if (const auto* text = std::get_if<const char16_t*>(&inserts[i])) {
                arguments[i] = reinterpret_cast<DWORD_PTR>(*text);
            } else {
                arguments[i] = std::get<std::uint32_t>(inserts[i]);
            }
        }
        DWORD flags = FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER;
        flags |= inserts.empty() ? FORMAT_MESSAGE_IGNORE_INSERTS : FORMAT_MESSAGE_ARGUMENT_ARRAY;
        MessageBuffer buffer;
        const DWORD length = FormatMessageW(
            flags, module, id, language, buffer.Out(), 0,
            inserts.empty() ? nullptr : reinterpret_cast<va_list*>(arguments.data()));
        if (length == 0 || buffer.Get() == nullptr) {
            return {};
        }
        return std::u16string(U16(buffer.Get()), length);
    }
};

} // namespace

MessageSource& LiveMessageSource() {
    static LiveSource source;
    return source;
}

} // namespace tarn
