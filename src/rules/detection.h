// Detection-expression documents: a condition on the operating system, answered by this
// component in place of the detection engine whose class ID names it.
#pragma once

#include "machine/machine.h"
#include "rules/status.h"

#include <cstdint>
#include <string_view>

namespace tarn::rules {

// {9C8307FC-6D88-43CD-B7C0-8D0F0CBD35FD}: rules for it are detection documents.
inline constexpr GUID kDetectionEngineClassId = {
    0x9C8307FC, 0x6D88, 0x43CD, {0xB7, 0xC0, 0x8D, 0x0F, 0x0C, 0xBD, 0x35, 0xFD}};

// The running Windows as the `os` test reads it; zeroed by the caller, fields that cannot be
// determined stay 0.
struct OSInfo {
    std::uint16_t suiteMask = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint16_t servicePackMajor = 0;
    std::uint16_t servicePackMinor = 0;
    std::uint8_t productType = 0; // 1 workstation, 2 domain controller, 3 server
    std::uint32_t buildNumber = 0;
};

// 0 with `info` filled from the extended version record, or from the basic one and the
// registry; 1 when the version cannot be read at all.
int getOSInfo(Machine& machine, OSInfo& info);

// The status of the document's "//detection/expression": 0 holds, 1 does not. A document that
// cannot be created, parsed or has no such node, and an expression of an unknown type, raise.
Status EvaluateDetectionDocument(Machine& machine, std::u16string_view ruleXml);

} // namespace tarn::rules
