// Texts of the codes the rules produce: as Windows words them (and the Linux tables give them)
// and as Wine's tables give them, recorded from Wine; empty where Wine has none.
#pragma once

#include <cstdint>
#include <string>

namespace tarn::test {

struct RecordedText {
    std::uint32_t code;
    std::u16string windows;
    std::u16string wine;
};

inline const RecordedText kRecordedTexts[] = {
    {2, u"The system cannot find the file specified", u"File not found"},
    {3, u"The system cannot find the path specified", u"Path not found"},
    {5, u"Access is denied", u"Access denied"},
    {87, u"The parameter is incorrect", u"Invalid parameter"},
    {0x80004005, u"Unspecified error", u"Call failed"},
    {0x80070057, u"The parameter is incorrect", u"Invalid parameter"},
    {0x80004001, u"Not implemented", u"Not implemented"},
    {0x80040154, u"Class not registered", u""},
    {0x80070005, u"Access is denied", u"Access denied"},
    {0x80070032, u"The request is not supported", u"Request not supported"},
    {0x800703E9, u"Recursion too deep; the stack overflowed", u"Stack overflow"},
    {0x8000FFFF, u"Catastrophic failure", u""},
    {0x8007000E, u"Not enough memory resources are available to complete this operation",
     u"Out of memory"},
    {12002, u"The operation timed out", u"The request has timed out"}, // WinINet's table
};

} // namespace tarn::test
