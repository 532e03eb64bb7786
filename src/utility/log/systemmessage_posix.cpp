// Off Windows there is no system message table; this one holds the texts of the codes that
// this system meets, worded as Windows words them in English and, as the system returns
// them, ending in "\r\n". Win32 codes also answer in their HRESULT_FROM_WIN32 form.
#include "utility/log/systemmessage.h"

#include <algorithm>
#include <iterator>

namespace tarn {

namespace {

struct Entry {
    std::uint32_t code;
    const char16_t* text;
};

// Sorted by code.
constexpr Entry kTexts[] = {
    {0, u"The operation completed successfully.\r\n"},
    {1, u"Incorrect function.\r\n"},
    {2, u"The system cannot find the file specified.\r\n"},
    {3, u"The system cannot find the path specified.\r\n"},
    {5, u"Access is denied.\r\n"},
    {6, u"The handle is invalid.\r\n"},
    {8, u"Not enough memory resources are available to process this command.\r\n"},
    {11, u"An attempt was made to load a program with an incorrect format.\r\n"},
    {13, u"The data is invalid.\r\n"},
    {14, u"Not enough memory resources are available to complete this operation.\r\n"},
    {32, u"The process cannot access the file because it is being used by another process.\r\n"},
    {50, u"The request is not supported.\r\n"},
    {80, u"The file exists.\r\n"},
    {87, u"The parameter is incorrect.\r\n"},
    {122, u"The data area passed to a system call is too small.\r\n"},
    {126, u"The specified module could not be found.\r\n"},
    {127, u"The specified procedure could not be found.\r\n"},
    {183, u"Cannot create a file when that file already exists.\r\n"},
    {206, u"The filename or extension is too long.\r\n"},
    {234, u"More data is available.\r\n"},
    {258, u"The wait operation timed out.\r\n"},
    {259, u"No more data is available.\r\n"},
    {1001, u"Recursion too deep; the stack overflowed.\r\n"},
    {1008, u"An attempt was made to reference a token that does not exist.\r\n"},
    {1010, u"The configuration registry key is invalid.\r\n"},
    {1168, u"Element not found.\r\n"},
    {1247, u"An attempt was made to perform an initialization operation when initialization has "
           u"already been completed.\r\n"},
    {1603, u"Fatal error during installation.\r\n"},
    {1605, u"This action is only valid for products that are currently installed.\r\n"},
    {1610, u"The configuration data for this product is corrupt.  Contact your support "
           u"personnel.\r\n"},
    {0x80004001, u"Not implemented\r\n"},
    {0x80004002, u"No such interface supported\r\n"},
    {0x80004003, u"Invalid pointer\r\n"},
    {0x80004004, u"Operation aborted\r\n"},
    {0x80004005, u"Unspecified error\r\n"},
    {0x8000FFFF, u"Catastrophic failure\r\n"},
    {0x80010106, u"Cannot change thread mode after it is set.\r\n"},
    {0x80020003, u"Member not found.\r\n"},
    {0x80020004, u"Parameter not found.\r\n"},
    {0x80020005, u"Type mismatch.\r\n"},
    {0x80020006, u"Unknown name.\r\n"},
    {0x80020009, u"Exception occurred.\r\n"},
    {0x8002000B, u"Invalid index.\r\n"},
    {0x8002000E, u"Invalid number of parameters.\r\n"},
    {0x80040110, u"Class does not support aggregation (or class object is remote)\r\n"},
    {0x80040111, u"ClassFactory cannot supply requested class\r\n"},
    {0x80040112, u"Class is not licensed for use\r\n"},
    {0x80040154, u"Class not registered\r\n"},
    {0x800401F0, u"CoInitialize has not been called.\r\n"},
    {0x800401F3, u"Invalid class string\r\n"},
};

static_assert(std::is_sorted(std::begin(kTexts), std::end(kTexts),
                             [](const Entry& a, const Entry& b) { return a.code < b.code; }));

// The table is English; a lookup in any other language finds nothing, as on a system
// without that language's resources.
bool Answers(std::uint16_t language) {
    constexpr std::uint16_t kEnglish = 0x09;
    const std::uint16_t primary = language & 0x3FF;
    return language == kLanguageNeutral || language == kLanguageUserDefault || primary == kEnglish;
}

std::uint32_t TableCode(std::uint32_t code) {
    constexpr std::uint32_t kWin32Facility = 0x80070000;
    return (code & 0xFFFF0000u) == kWin32Facility ? code & 0xFFFFu : code;
}

// WinINet's own table, sorted by code.
constexpr Entry kWinInetTexts[] = {
    {12001, u"No more Internet handles can be allocated\r\n"},
    {12002, u"The operation timed out\r\n"},
    {12005, u"The URL is invalid\r\n"},
    {12007, u"The server name or address could not be resolved\r\n"},
    {12029, u"A connection with the server could not be established\r\n"},
};

static_assert(std::is_sorted(std::begin(kWinInetTexts), std::end(kWinInetTexts),
                             [](const Entry& a, const Entry& b) { return a.code < b.code; }));

template <std::size_t N>
std::u16string Find(const Entry (&table)[N], std::uint32_t code, std::uint16_t language) {
    if (!Answers(language)) {
        return {};
    }
    const auto* found =
        std::lower_bound(std::begin(table), std::end(table), code,
                         [](const Entry& e, std::uint32_t c) { return e.code < c; });
    if (found == std::end(table) || found->code != code) {
        return {};
    }
    return found->text;
}

} // namespace

std::u16string SystemMessageText(std::uint32_t code, std::uint16_t language) {
    return Find(kTexts, TableCode(code), language);
}

std::u16string WinInetMessageText(std::uint32_t code, std::uint16_t language) {
    return Find(kWinInetTexts, code, language);
}

} // namespace tarn
