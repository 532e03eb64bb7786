// The Windows-dialect printf engine. Everything works in fixed buffers on the stack.
//
// Choices where the Windows runtime has nothing to copy:
// - Arguments are captured with their types, so a string or a character argument is printed
//   as what it is; the h/l/w modifiers and %S/%C only decide whether an integer given to
//   %c is a byte or a UTF-16 unit.
// - Narrow text written into a wide output is read as UTF-8 when it is well-formed UTF-8 and
//   as Latin-1 otherwise (one byte, one character), so ASCII and UTF-8 sources both survive.
//   Wide text written into a narrow output is encoded as UTF-8; lone surrogates become U+FFFD.
// - The precision of %s counts output units, and it also bounds the source units read:
//   text need not be terminated within the precision. A surrogate
//   pair is never split, by the precision or by the end of the buffer, and neither is a
//   converted character; narrow text copied into a narrow output is cut by bytes, as in C.
//   Narrow text cut inside a UTF-8 sequence by the precision is UTF-8 when the bytes before
//   that sequence are. Once the buffer is full nothing further is written.
// - An unknown conversion is copied as it stands; %n consumes its argument and writes nothing.
// - Floating point follows the current Windows runtime: two-digit exponents, %a with 13 hex
//   digits unless a precision is given, "inf" and "nan". Precision is limited to 600.
#include "utility/text/format.h"

#include "utility/text/utf.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace tarn {

namespace {

constexpr int kMaxFloatPrecision = 600;
constexpr std::size_t kFloatBuffer = 1024;

// ---------------------------------------------------------------------------------------------
// Output

template <class Char>
class Output {
public:
    Output(Char* out, std::size_t capacity) noexcept
        : out_(out), room_(capacity == 0 || out == nullptr ? 0 : capacity - 1),
          terminate_(capacity != 0 && out != nullptr) {}

    // Appends the units of one code point: all of them, or none once they no longer fit.
    void Put(const Char* units, std::size_t count) noexcept {
        if (cut_ || count > room_ - used_) {
            cut_ = true;
            return;
        }
        std::copy(units, units + count, out_ + used_);
        used_ += count;
    }
    void Put(Char c) noexcept { Put(&c, 1); }
    void PutAscii(const char* text, std::size_t count) noexcept {
        for (std::size_t i = 0; i < count && !cut_; ++i) {
            Put(static_cast<Char>(text[i]));
        }
    }
    void Repeat(Char c, std::size_t count) noexcept {
        for (std::size_t i = 0; i < count && !cut_; ++i) {
            Put(c);
        }
    }
    std::size_t Finish(bool* cut) noexcept {
        if (terminate_) {
            out_[used_] = Char{};
        }
        if (cut != nullptr) {
            *cut = cut_;
        }
        return used_;
    }

private:
    Char* out_;
    std::size_t room_;
    bool terminate_;
    std::size_t used_ = 0;
    bool cut_ = false;
};

// ---------------------------------------------------------------------------------------------
// Conversions

enum class Size : std::uint8_t { Default, Byte, Short, Long, LongLong, Pointer };

struct Directive {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alt = false;
    bool zero = false;
    std::size_t width = 0;
    int precision = -1;
    Size size = Size::Default;
    char conversion = '\0';
};

class Arguments {
public:
    Arguments(const FormatArg* args, std::size_t count) noexcept : args_(args), count_(count) {}
    // The next argument, or null when the call supplied no more.
    const FormatArg* Next() noexcept { return next_ < count_ ? &args_[next_++] : nullptr; }

private:
    const FormatArg* args_;
    std::size_t count_;
    std::size_t next_ = 0;
};

std::int64_t SaturatedInteger(double d) noexcept {
    if (std::isnan(d)) {
        return 0;
    }
    constexpr double kLimit = 9.2e18;
    return static_cast<std::int64_t>(std::clamp(d, -kLimit, kLimit));
}

// The bits an integer conversion reads from an argument of any kind.
std::uint64_t IntegerBits(const FormatArg* a) noexcept {
    if (a == nullptr) {
        return 0;
    }
    switch (a->kind) {
    case FormatArg::Kind::Signed:
        return static_cast<std::uint64_t>(a->i);
    case FormatArg::Kind::Unsigned:
        return a->u;
    case FormatArg::Kind::Double:
        return static_cast<std::uint64_t>(SaturatedInteger(a->d));
    case FormatArg::Kind::Pointer:
        return reinterpret_cast<std::uintptr_t>(a->p);
    case FormatArg::Kind::Wide:
        return reinterpret_cast<std::uintptr_t>(a->ws);
    case FormatArg::Kind::Narrow:
        return reinterpret_cast<std::uintptr_t>(a->ns);
    }
    return 0;
}

double FloatValue(const FormatArg* a) noexcept {
    if (a == nullptr) {
        return 0.0;
    }
    switch (a->kind) {
    case FormatArg::Kind::Double:
        return a->d;
    case FormatArg::Kind::Signed:
        return static_cast<double>(a->i);
    case FormatArg::Kind::Unsigned:
        return static_cast<double>(a->u);
    default:
        return 0.0;
    }
}

unsigned SizeBits(Size size) noexcept {
    switch (size) {
    case Size::Byte:
        return 8;
    case Size::Short:
        return 16;
    case Size::LongLong:
        return 64;
    case Size::Pointer:
        return sizeof(void*) * CHAR_BIT;
    case Size::Default:
    case Size::Long:
        break;
    }
    return 32;
}

std::uint64_t Truncate(std::uint64_t bits, unsigned width) noexcept {
    return width >= 64 ? bits : bits & ((std::uint64_t{1} << width) - 1);
}

std::int64_t SignExtend(std::uint64_t bits, unsigned width) noexcept {
    if (width >= 64) {
        return static_cast<std::int64_t>(bits);
    }
    const std::uint64_t sign = std::uint64_t{1} << (width - 1);
    const std::uint64_t value = Truncate(bits, width);
    return static_cast<std::int64_t>((value ^ sign) - sign);
}

template <class Char>
class SpecParser {
public:
    SpecParser(const Char* at, Arguments& args) noexcept : at_(at), args_(args) {}

    // Parses the conversion behind a '%'; false when the format ends inside it.
    bool Parse(Directive& directive) noexcept {
        ParseFlags(directive);
        ParseWidth(directive);
        ParsePrecision(directive);
        ParseSize(directive);
        if (*at_ == Char{}) {
            return false;
        }
        directive.conversion = *at_ < 0x80 ? static_cast<char>(*at_) : '\x7F';
        ++at_;
        return true;
    }
    const Char* Position() const noexcept { return at_; }

private:
    void ParseFlags(Directive& directive) noexcept {
        for (;; ++at_) {
            switch (*at_) {
            case '-':
                directive.left = true;
                break;
            case '+':
                directive.plus = true;
                break;
            case ' ':
                directive.space = true;
                break;
            case '#':
                directive.alt = true;
                break;
            case '0':
                directive.zero = true;
                break;
            default:
                return;
            }
        }
    }

    int ParseNumber() noexcept {
        int value = 0;
        for (; *at_ >= '0' && *at_ <= '9'; ++at_) {
            value = std::min(value * 10 + static_cast<int>(*at_ - '0'), INT_MAX / 10);
        }
        return value;
    }

    int StarArgument() noexcept {
        const std::int64_t v = SignExtend(IntegerBits(args_.Next()), 32);
        return static_cast<int>(std::clamp<std::int64_t>(v, -(INT_MAX / 10), INT_MAX / 10));
    }

    void ParseWidth(Directive& directive) noexcept {
        if (*at_ == '*') {
            ++at_;
            const int w = StarArgument();
            directive.left = directive.left || w < 0;
            directive.width = static_cast<std::size_t>(w < 0 ? -w : w);
        } else {
            directive.width = static_cast<std::size_t>(ParseNumber());
        }
    }

    void ParsePrecision(Directive& directive) noexcept {
        if (*at_ != '.') {
            return;
        }
        ++at_;
        if (*at_ == '*') {
            ++at_;
            const int p = StarArgument();
            directive.precision = p < 0 ? -1 : p;
        } else {
            directive.precision = ParseNumber();
        }
    }

    bool Skip(const char* text) noexcept {
        std::size_t n = 0;
        while (text[n] != '\0' && at_[n] == static_cast<Char>(text[n])) {
            ++n;
        }
        if (text[n] != '\0') {
            return false;
        }
        at_ += n;
        return true;
    }

    void ParseSize(Directive& directive) noexcept {
        if (Skip("hh")) {
            directive.size = Size::Byte;
        } else if (Skip("h")) {
            directive.size = Size::Short;
        } else if (Skip("ll") || Skip("I64") || Skip("j") || Skip("L")) {
            directive.size = Size::LongLong;
        } else if (Skip("l") || Skip("w") || Skip("I32")) {
            directive.size = Size::Long;
        } else if (Skip("I") || Skip("z") || Skip("t")) {
            directive.size = Size::Pointer;
        }
    }

    const Char* at_;
    Arguments& args_;
};

// ---------------------------------------------------------------------------------------------
// Padding around a converted field

template <class Char>
struct Field {
    Output<Char>& out;
    const Directive& directive;

    void PadBefore(std::size_t length) const noexcept {
        if (!directive.left && directive.width > length) {
            out.Repeat(Char{' '}, directive.width - length);
        }
    }
    void PadAfter(std::size_t length) const noexcept {
        if (directive.left && directive.width > length) {
            out.Repeat(Char{' '}, directive.width - length);
        }
    }
};

// Writes prefix, zeros and body right-aligned, left-aligned or zero-padded to the width.
template <class Char>
void PutNumber(Output<Char>& out, const Directive& directive, std::string_view prefix,
               std::size_t zeros, std::string_view body, bool zeroPadAllowed) {
    std::size_t length = prefix.size() + zeros + body.size();
    if (zeroPadAllowed && directive.zero && !directive.left && directive.width > length) {
        zeros += directive.width - length;
        length = directive.width;
    }
    const Field<Char> field{out, directive};
    field.PadBefore(length);
    out.PutAscii(prefix.data(), prefix.size());
    out.Repeat(Char{'0'}, zeros);
    out.PutAscii(body.data(), body.size());
    field.PadAfter(length);
}

// ---------------------------------------------------------------------------------------------
// Integers and pointers

std::size_t Digits(std::uint64_t value, unsigned base, bool upper, char* end) noexcept {
    const char* symbols = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::size_t n = 0;
    while (value != 0) {
        *--end = symbols[value % base];
        value /= base;
        ++n;
    }
    return n;
}

template <class Char>
void FormatInteger(Output<Char>& out, const Directive& directive, const FormatArg* arg) {
    const unsigned bits = SizeBits(directive.size);
    const std::uint64_t raw = IntegerBits(arg);
    const char c = directive.conversion;
    const bool isSigned = c == 'd' || c == 'i';
    std::uint64_t magnitude = Truncate(raw, bits);
    char prefix[2] = {};
    std::size_t prefixLength = 0;
    if (isSigned) {
        const std::int64_t value = SignExtend(raw, bits);
        magnitude = value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value)
                              : static_cast<std::uint64_t>(value);
        if (value < 0 || directive.plus || directive.space) {
            prefix[prefixLength++] = value < 0 ? '-' : (directive.plus ? '+' : ' ');
        }
    }
    const unsigned base = c == 'o' ? 8 : (c == 'x' || c == 'X') ? 16 : 10;
    char buffer[24];
    const std::size_t count = Digits(magnitude, base, c == 'X', buffer + sizeof buffer);
    const std::string_view digits(buffer + sizeof buffer - count, count);
    const std::size_t precision =
        directive.precision < 0 ? 1 : static_cast<std::size_t>(directive.precision);
    std::size_t zeros = precision > count ? precision - count : 0;
    if (directive.alt && base == 8 && zeros == 0 && (count == 0 || digits[0] != '0')) {
        zeros = 1;
    }
    if (directive.alt && base == 16 && magnitude != 0) {
        prefix[prefixLength++] = '0';
        prefix[prefixLength++] = c;
    }
    PutNumber(out, directive, std::string_view(prefix, prefixLength), zeros, digits,
              directive.precision < 0);
}

template <class Char>
void FormatPointer(Output<Char>& out, const Directive& directive, const FormatArg* arg) {
    constexpr std::size_t kDigits = sizeof(void*) * 2;
    char buffer[24];
    const std::uint64_t value = Truncate(IntegerBits(arg), sizeof(void*) * CHAR_BIT);
    const std::size_t count = Digits(value, 16, true, buffer + sizeof buffer);
    const std::string_view digits(buffer + sizeof buffer - count, count);
    Directive plain = directive;
    plain.zero = false;
    PutNumber(out, plain, {}, kDigits - count, digits, false);
}

// ---------------------------------------------------------------------------------------------
// Floating point

std::size_t ToChars(char* first, char* last, double v, std::chars_format f, int precision) {
    const std::to_chars_result r = std::to_chars(first, last, v, f, precision);
    return r.ec == std::errc{} ? static_cast<std::size_t>(r.ptr - first) : 0;
}

// Position of the exponent marker ('e' or 'p') in body, or its end.
std::size_t MantissaEnd(const char* body, std::size_t length) noexcept {
    for (std::size_t i = 0; i < length; ++i) {
        if (body[i] == 'e' || body[i] == 'p') {
            return i;
        }
    }
    return length;
}

std::size_t InsertAt(char* body, std::size_t length, std::size_t at, char c) noexcept {
    std::memmove(body + at + 1, body + at, length - at);
    body[at] = c;
    return length + 1;
}

std::size_t EnsurePoint(char* body, std::size_t length) noexcept {
    const std::size_t end = MantissaEnd(body, length);
    if (std::memchr(body, '.', end) != nullptr) {
        return length;
    }
    return InsertAt(body, length, end, '.');
}

std::size_t StripTrailingZeros(char* body, std::size_t length) noexcept {
    const std::size_t end = MantissaEnd(body, length);
    if (std::memchr(body, '.', end) == nullptr) {
        return length;
    }
    std::size_t keep = end;
    while (body[keep - 1] == '0') {
        --keep;
    }
    if (body[keep - 1] == '.') {
        --keep;
    }
    std::memmove(body + keep, body + end, length - end);
    return length - (end - keep);
}

int ExponentOf(const char* body, std::size_t length) noexcept {
    const std::size_t e = MantissaEnd(body, length);
    if (e + 1 >= length) {
        return 0;
    }
    int value = 0;
    std::from_chars(body + e + (body[e + 1] == '+' ? 2 : 1), body + length, value);
    return value;
}

// %g: the shorter of %e and %f by the C rule, trailing zeros dropped unless '#'.
std::size_t GeneralBody(char* body, double v, int precision, bool alt) {
    const int p = precision < 0 ? 6 : std::max(precision, 1);
    std::size_t length =
        ToChars(body, body + kFloatBuffer - 2, v, std::chars_format::scientific, p - 1);
    const int x = ExponentOf(body, length);
    if (p > x && x >= -4) {
        length = ToChars(body, body + kFloatBuffer - 2, v, std::chars_format::fixed, p - 1 - x);
    }
    return alt ? EnsurePoint(body, length) : StripTrailingZeros(body, length);
}

std::size_t FiniteBody(char* body, double v, char conversion, int precision, bool alt) {
    char* last = body + kFloatBuffer - 2;
    std::size_t length = 0;
    switch (conversion) {
    case 'f':
        length = ToChars(body, last, v, std::chars_format::fixed, precision < 0 ? 6 : precision);
        break;
    case 'e':
        length =
            ToChars(body, last, v, std::chars_format::scientific, precision < 0 ? 6 : precision);
        break;
    case 'a':
        length = ToChars(body, last, v, std::chars_format::hex, precision < 0 ? 13 : precision);
        break;
    default:
        return GeneralBody(body, v, precision, alt);
    }
    return alt ? EnsurePoint(body, length) : length;
}

template <class Char>
void FormatFloat(Output<Char>& out, const Directive& directive, double value) {
    const char lower = static_cast<char>(directive.conversion | 0x20);
    const bool upper = directive.conversion != lower;
    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    const bool finite = std::isfinite(magnitude);
    const int precision = std::min(directive.precision, kMaxFloatPrecision);
    char body[kFloatBuffer];
    std::size_t length = 0;
    if (!finite) {
        std::memcpy(body, std::isnan(magnitude) ? "nan" : "inf", 3);
        length = 3;
    } else {
        length = FiniteBody(body, magnitude, lower, precision, directive.alt);
    }
    if (upper) {
        std::transform(body, body + length, body, [](char c) {
            return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
        });
    }
    char prefix[3] = {};
    std::size_t prefixLength = 0;
    if (negative || directive.plus || directive.space) {
        prefix[prefixLength++] = negative ? '-' : (directive.plus ? '+' : ' ');
    }
    if (lower == 'a' && finite) {
        prefix[prefixLength++] = '0';
        prefix[prefixLength++] = upper ? 'X' : 'x';
    }
    PutNumber(out, directive, std::string_view(prefix, prefixLength), 0,
              std::string_view(body, length), finite);
}

// ---------------------------------------------------------------------------------------------
// Characters and strings

template <class Char>
void PutCodePoint(Output<Char>& out, char32_t cp) noexcept {
    if constexpr (sizeof(Char) == 1) {
        char units[4];
        out.Put(units, utf::EncodeUtf8(cp, units));
    } else {
        char16_t units[2];
        out.Put(units, utf::EncodeUtf16(cp, units));
    }
}

// Walks `text` and hands each output group (one code point's units) to `sink`, stopping
// before the group that would pass `limit` output units. Returns the units produced.
template <class Char, class Src, class Sink>
std::size_t Transcode(const Src* text, std::size_t size, std::size_t limit, Sink&& sink) {
    const bool latin1 = sizeof(Src) == 1 && sizeof(Char) == 2 &&
                        !utf::IsValidUtf8(reinterpret_cast<const char*>(text), size);
    std::size_t produced = 0;
    for (std::size_t i = 0; i < size;) {
        Char units[4];
        std::size_t count = 0;
        std::size_t consumed = 1;
        if (latin1) {
            units[count++] = static_cast<Char>(static_cast<unsigned char>(text[i]));
        } else {
            utf::Decoded d{};
            if constexpr (sizeof(Src) == 1) {
                d = utf::DecodeUtf8(reinterpret_cast<const char*>(text + i), size - i);
            } else {
                d = utf::DecodeUtf16(reinterpret_cast<const char16_t*>(text + i), size - i);
            }
            consumed = d.length;
            if constexpr (sizeof(Src) == sizeof(Char)) {
                // Same width: the units pass unchanged, ill-formed ones included.
                for (std::size_t k = 0; k < consumed; ++k) {
                    units[count++] = static_cast<Char>(text[i + k]);
                }
            } else if constexpr (sizeof(Char) == 1) {
                count = utf::EncodeUtf8(d.codePoint, reinterpret_cast<char*>(units));
            } else {
                count = utf::EncodeUtf16(d.codePoint, reinterpret_cast<char16_t*>(units));
            }
        }
        if (produced + count > limit) {
            break;
        }
        sink(units, count);
        produced += count;
        i += consumed;
    }
    return produced;
}

// The units of `text` that a conversion may read: at most `bound`, so a string need not be
// terminated within the precision. `cut` tells whether the bound ended the text early.
template <class Src>
std::size_t BoundedLength(const Src* text, std::size_t known, std::size_t bound,
                          bool& cut) noexcept {
    if (known != kFormatNulTerminated) {
        cut = known > bound;
        return std::min(known, bound);
    }
    std::size_t n = 0;
    while (n < bound && text[n] != Src{}) {
        ++n;
    }
    cut = n == bound;
    return n;
}

// Leaves out a character whose units the precision cut apart, so that it is not printed
// half (a surrogate pair) or does not turn UTF-8 text into Latin-1 (a multi-byte sequence).
// Narrow text copied into a narrow output is cut by bytes, as in C.
template <class Char, class Src>
std::size_t WithoutSplitCharacter(const Src* text, std::size_t size) noexcept {
    if constexpr (sizeof(Src) == 2) {
        return size > 0 && text[size - 1] >= 0xD800 && text[size - 1] <= 0xDBFF ? size - 1 : size;
    } else if constexpr (sizeof(Char) == 2) {
        // A truncated sequence is a lead byte and at most two continuation bytes.
        const auto byte = [text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
        std::size_t lead = size;
        while (lead > 0 && size - lead < 3 && (byte(lead - 1) & 0xC0) == 0x80) {
            --lead;
        }
        if (lead == 0 || byte(lead - 1) < 0xC2 || byte(lead - 1) > 0xF4) {
            return size;
        }
        --lead;
        // After a valid lead, an invalid sequence that consumed every byte left only ran out.
        const utf::Decoded last = utf::DecodeUtf8(text + lead, size - lead);
        const bool truncated = !last.valid && last.length == size - lead;
        return truncated && utf::IsValidUtf8(text, lead) ? lead : size;
    } else {
        return size;
    }
}

template <class Char, class Src>
void PutText(Output<Char>& out, const Directive& directive, const Src* text, std::size_t known) {
    const std::size_t limit =
        directive.precision < 0 ? SIZE_MAX : static_cast<std::size_t>(directive.precision);
    // The precision bounds the units read as well as those written.
    bool cut = false;
    std::size_t size = BoundedLength(text, known, limit, cut);
    if (cut) {
        size = WithoutSplitCharacter<Char>(text, size);
    }
    const std::size_t length = Transcode<Char>(text, size, limit, [](const Char*, std::size_t) {});
    const Field<Char> field{out, directive};
    field.PadBefore(length);
    Transcode<Char>(text, size, limit,
                    [&out](const Char* units, std::size_t count) { out.Put(units, count); });
    field.PadAfter(length);
}

template <class Char>
void FormatString(Output<Char>& out, const Directive& directive, const FormatArg* arg) {
    static constexpr char kNull[] = "(null)";
    using Kind = FormatArg::Kind;
    const Kind kind = arg == nullptr ? Kind::Signed : arg->kind;
    if (kind == Kind::Wide && arg->ws != nullptr) {
        PutText(out, directive, arg->ws, arg->length);
    } else if (kind == Kind::Narrow && arg->ns != nullptr) {
        PutText(out, directive, arg->ns, arg->length);
    } else if ((kind == Kind::Wide || kind == Kind::Narrow || kind == Kind::Pointer) &&
               IntegerBits(arg) == 0) {
        PutText(out, directive, kNull, sizeof kNull - 1);
    } else {
        // A missing or non-text argument prints as empty text.
        PutText(out, directive, kNull, 0);
    }
}

// Whether this %c/%s conversion means wide text in a format of Char.
template <class Char>
bool WideText(const Directive& directive) noexcept {
    if (directive.size == Size::Short) {
        return false;
    }
    if (directive.size == Size::Long) {
        return true;
    }
    const bool formatIsWide = sizeof(Char) == 2;
    const bool swapped = directive.conversion == 'C' || directive.conversion == 'S';
    return formatIsWide != swapped;
}

template <class Char>
void FormatChar(Output<Char>& out, const Directive& directive, const FormatArg* arg) {
    if (arg == nullptr) {
        PutText(out, directive, "", 0);
        return;
    }
    const std::uint64_t bits = IntegerBits(arg);
    const Field<Char> field{out, directive};
    field.PadBefore(1);
    if (WideText<Char>(directive)) {
        const auto unit = static_cast<char16_t>(bits);
        if constexpr (sizeof(Char) == 2) {
            out.Put(unit);
        } else {
            PutCodePoint(out, unit >= 0xD800 && unit <= 0xDFFF ? utf::kReplacement : unit);
        }
    } else {
        out.Put(static_cast<Char>(static_cast<unsigned char>(bits)));
    }
    field.PadAfter(1);
}

// ---------------------------------------------------------------------------------------------
// The driver

template <class Char>
void Convert(Output<Char>& out, const Directive& directive, Arguments& args, const Char* specStart,
             const Char* specEnd) {
    switch (directive.conversion) {
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
        FormatInteger(out, directive, args.Next());
        return;
    case 'p':
        FormatPointer(out, directive, args.Next());
        return;
    case 'c':
    case 'C':
        FormatChar(out, directive, args.Next());
        return;
    case 's':
    case 'S':
        FormatString(out, directive, args.Next());
        return;
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
        FormatFloat(out, directive, FloatValue(args.Next()));
        return;
    case 'n':
        args.Next();
        return;
    case '%':
        out.Put(Char{'%'});
        return;
    default:
        for (const Char* c = specStart; c != specEnd; ++c) {
            out.Put(*c);
        }
    }
}

template <class Char>
std::size_t FormatImpl(Char* out, std::size_t capacity, const Char* format, const FormatArg* args,
                       std::size_t argCount, bool* cut) noexcept {
    Output<Char> output(out, capacity);
    Arguments arguments(args, argCount);
    const Char* at = format;
    while (at != nullptr && *at != Char{}) {
        if (*at != Char{'%'}) {
            output.Put(*at++);
            continue;
        }
        const Char* start = at;
        SpecParser<Char> parser(at + 1, arguments);
        Directive directive;
        const bool complete = parser.Parse(directive);
        at = parser.Position();
        if (!complete) {
            for (const Char* c = start; c != at; ++c) {
                output.Put(*c);
            }
            break;
        }
        Convert(output, directive, arguments, start, at);
    }
    return output.Finish(cut);
}

} // namespace

std::size_t FormatInto(char16_t* out, std::size_t capacity, const char16_t* format,
                       const FormatArg* args, std::size_t argCount, bool* cut) noexcept {
    return FormatImpl(out, capacity, format, args, argCount, cut);
}

std::size_t FormatInto(char* out, std::size_t capacity, const char* format, const FormatArg* args,
                       std::size_t argCount, bool* cut) noexcept {
    return FormatImpl(out, capacity, format, args, argCount, cut);
}

} // namespace tarn
