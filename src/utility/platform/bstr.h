// Owning holder of a BSTR.
#pragma once

#include "utility/platform/wintypes.h"

#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace tarn {

class Bstr {
public:
    Bstr() noexcept = default;
    // Adopts `text`, which must come from SysAllocString*.
    explicit Bstr(BSTR text) noexcept : text_(text) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        Reset(std::exchange(other.text_, nullptr));
        return *this;
    }
    ~Bstr() { Reset(); }

    // A copy of `text`; std::bad_alloc when it cannot be allocated.
    static Bstr Copy(std::u16string_view text);

    BSTR Get() const noexcept { return text_; }
    BSTR* Out() noexcept {
        Reset();
        return &text_;
    }
    BSTR Release() noexcept { return std::exchange(text_, nullptr); }
    void Reset(BSTR text = nullptr) noexcept {
        if (text_ != nullptr) {
            SysFreeString(text_);
        }
        text_ = text;
    }
    std::u16string_view View() const noexcept { return BstrView(text_); }
    std::u16string String() const { return std::u16string(View()); }

private:
    BSTR text_ = nullptr;
};

inline Bstr Bstr::Copy(std::u16string_view text) {
    BSTR copy = SysAllocStringLen(Ole(text.data()), static_cast<UINT>(text.size()));
    if (copy == nullptr) {
        throw std::bad_alloc();
    }
    return Bstr(copy);
}

} // namespace tarn
