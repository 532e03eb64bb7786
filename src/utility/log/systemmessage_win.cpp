#include "utility/log/systemmessage.h"

#include "utility/platform/wintypes.h"

namespace tarn {

namespace {

// Owns a buffer that the system allocated with LocalAlloc.
class LocalBuffer {
public:
    LocalBuffer() = default;
    LocalBuffer(const LocalBuffer&) = delete;
    LocalBuffer& operator=(const LocalBuffer&) = delete;
    ~LocalBuffer() {
        if (text_ != nullptr) {
            LocalFree(text_);
        }
    }
    wchar_t** Out() { return &text_; }
    const wchar_t* Get() const { return text_; }

private:
    wchar_t* text_ = nullptr;
};

} // namespace

std::u16string SystemMessageText(std::uint32_t code, std::uint16_t language) {
    LocalBuffer buffer;
    constexpr DWORD kFlags =
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;
    const DWORD length = FormatMessageW(kFlags, nullptr, code, language,
                                        reinterpret_cast<LPWSTR>(buffer.Out()), 0, nullptr);
    if (length == 0 || buffer.Get() == nullptr) {
        return {};
    }
    return std::u16string(U16(buffer.Get()), length);
}

} // namespace tarn
