// Owning holder of a VARIANT (Windows only: VARIANT is the platform's own type).
#pragma once

#include "utility/platform/wintypes.h"

namespace tarn {

class Variant {
public:
    Variant() noexcept { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }

    const VARIANT& Get() const noexcept { return value_; }
    // Clears the held value and hands out the VARIANT for a call to fill.
    VARIANT* Out() noexcept {
        VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};

} // namespace tarn
