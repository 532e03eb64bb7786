// Owning holder of one COM interface reference.
#pragma once

#include "utility/platform/wintypes.h"

#include <utility>

namespace tarn {

template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    // Adopts the reference that `p` carries.
    explicit ComPtr(T* p) noexcept : p_(p) {}
    ComPtr(const ComPtr& other) noexcept : p_(other.p_) {
        if (p_ != nullptr) {
            p_->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Takes a reference of its own to `p`.
    static ComPtr Share(T* p) noexcept {
        if (p != nullptr) {
            p->AddRef();
        }
        return ComPtr(p);
    }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    T** Out() noexcept {
        Reset();
        return &p_;
    }
    void** OutVoid() noexcept { return reinterpret_cast<void**>(Out()); }
    T* Detach() noexcept { return std::exchange(p_, nullptr); }
    void Reset() noexcept {
        if (T* p = std::exchange(p_, nullptr)) {
            p->Release();
        }
    }

    // QueryInterface for `iid` into `out`; the HRESULT of the call.
    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const noexcept {
        return p_->QueryInterface(iid, out.OutVoid());
    }

private:
    T* p_ = nullptr;
};

} // namespace tarn
