// printf-style formatting in the Windows dialect, identical on every platform:
//   in a wide format   %s %ls %ws take a wide string, %hs %S a narrow one (%c/%C alike);
//   in a narrow format %s %hs take a narrow string, %ls %ws %S a wide one;
//   l means 32 bits (%ld %lu %lx), ll and I64 64 bits, h 16, hh 8, z and I the pointer size.
// Arguments are type-checked and collected without va_list: a missing argument formats as
// 0 or an empty string, a null string pointer as "(null)", and nothing reads past the
// arguments given. A string is read no further than the precision, so it need not be
// terminated within it. Output is cut to fit the buffer, which always ends with a NUL. Narrow text
// in a wide output is read as UTF-8 when well-formed, else as Latin-1; wide text in a narrow
// output is written as UTF-8. No heap is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace tarn {

// One formatting argument, as captured from the call.
struct FormatArg {
    enum class Kind : std::uint8_t { Signed, Unsigned, Double, Wide, Narrow, Pointer };
    Kind kind;
    std::size_t length; // for Wide/Narrow views; npos when NUL-terminated
    union {
        std::int64_t i;
        std::uint64_t u;
        double d;
        const char16_t* ws;
        const char* ns;
        const void* p;
    };
};

inline constexpr std::size_t kFormatNulTerminated = static_cast<std::size_t>(-1);

namespace format_detail {

template <class T>
FormatArg Capture(const T& value) {
    using D = std::decay_t<T>;
    FormatArg a{};
    a.length = kFormatNulTerminated;
    if constexpr (std::is_same_v<D, bool>) {
        a.kind = FormatArg::Kind::Signed;
        a.i = value ? 1 : 0;
    } else if constexpr (std::is_same_v<D, char16_t> || std::is_same_v<D, wchar_t>) {
        a.kind = FormatArg::Kind::Unsigned;
        a.u = static_cast<std::uint64_t>(value);
    } else if constexpr (std::is_enum_v<D>) {
        return Capture(static_cast<std::underlying_type_t<D>>(value));
    } else if constexpr (std::is_integral_v<D> && std::is_signed_v<D>) {
        a.kind = FormatArg::Kind::Signed;
        a.i = static_cast<std::int64_t>(value);
    } else if constexpr (std::is_integral_v<D>) {
        a.kind = FormatArg::Kind::Unsigned;
        a.u = static_cast<std::uint64_t>(value);
    } else if constexpr (std::is_floating_point_v<D>) {
        a.kind = FormatArg::Kind::Double;
        a.d = static_cast<double>(value);
    } else if constexpr (std::is_same_v<D, const char16_t*> || std::is_same_v<D, char16_t*>) {
        a.kind = FormatArg::Kind::Wide;
        a.ws = value;
    } else if constexpr (std::is_same_v<D, const wchar_t*> || std::is_same_v<D, wchar_t*>) {
        static_assert(sizeof(std::remove_pointer_t<D>) == sizeof(char16_t),
                      "wchar_t strings are UTF-16 only on Windows; use char16_t");
        a.kind = FormatArg::Kind::Wide;
        a.ws = reinterpret_cast<const char16_t*>(value);
    } else if constexpr (std::is_same_v<D, const char*> || std::is_same_v<D, char*>) {
        a.kind = FormatArg::Kind::Narrow;
        a.ns = value;
    } else if constexpr (std::is_same_v<D, std::u16string> ||
                         std::is_same_v<D, std::u16string_view>) {
        a.kind = FormatArg::Kind::Wide;
        a.ws = value.data();
        a.length = value.size();
    } else if constexpr (std::is_same_v<D, std::string> || std::is_same_v<D, std::string_view>) {
        a.kind = FormatArg::Kind::Narrow;
        a.ns = value.data();
        a.length = value.size();
    } else if constexpr (std::is_pointer_v<D> || std::is_null_pointer_v<D>) {
        a.kind = FormatArg::Kind::Pointer;
        a.p = value;
    } else {
        static_assert(sizeof(D) == 0, "unsupported formatting argument");
    }
    return a;
}

} // namespace format_detail

// Formats into `out` (capacity characters including the terminating NUL; capacity 0 writes
// nothing). Returns the number of characters written, without the NUL. `cut` (optional)
// is set when the text did not fit.
std::size_t FormatInto(char16_t* out, std::size_t capacity, const char16_t* format,
                       const FormatArg* args, std::size_t argCount, bool* cut = nullptr) noexcept;
std::size_t FormatInto(char* out, std::size_t capacity, const char* format, const FormatArg* args,
                       std::size_t argCount, bool* cut = nullptr) noexcept;

template <class Char, class... A>
std::size_t FormatTo(Char* out, std::size_t capacity, const Char* format,
                     const A&... args) noexcept {
    if constexpr (sizeof...(A) == 0) {
        return FormatInto(out, capacity, format, nullptr, 0);
    } else {
        const FormatArg captured[] = {format_detail::Capture(args)...};
        return FormatInto(out, capacity, format, captured, sizeof...(A));
    }
}

// Formats into a new string of at most `limit` - 1 characters.
template <class... A>
std::u16string FormatString(std::size_t limit, const char16_t* format, const A&... args) {
    std::u16string text(limit, u'\0');
    text.resize(FormatTo(text.data(), limit, format, args...));
    return text;
}

} // namespace tarn
