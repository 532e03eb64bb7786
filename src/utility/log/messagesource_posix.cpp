// Off Windows no message library is loaded: the system table (systemmessage_posix.cpp) and
// a WinINet table of the codes the rules meet answer alone.
#include "utility/log/messagesource.h"

#include "utility/log/systemmessage.h"

namespace tarn {

namespace {

class PosixSource final : public MessageSource {
public:
    std::u16string SystemText(std::uint32_t code, std::uint16_t language) override {
        return SystemMessageText(code, language);
    }
    bool IsLoaded(MessageLibrary library) override { return library == MessageLibrary::WinInet; }
    std::u16string LibraryText(MessageLibrary library, std::uint32_t id, std::uint16_t language,
                               std::span<const MessageInsert>) override {
        return library == MessageLibrary::WinInet ? WinInetMessageText(id, language)
                                                  : std::u16string();
    }
};

} // namespace

MessageSource& LiveMessageSource() {
    static PosixSource source;
    return source;
}

} // namespace tarn
