// The tests' own rule engine, testengine.dll: an in-process class that answers each rule as
// its content says. The answer is the hexadecimal HRESULT of the first hr="..." in the rule
// text (S_OK without one) with VARIANT_TRUE exactly when the text holds result="true".
#pragma once

#include <windows.h>

#include <oleauto.h>

namespace tarn::test {

inline constexpr wchar_t kTestEngineClass[] = L"{8FF7BB6E-4E87-4E89-9262-FE79D9B5BC9A}";
// A class whose factory refuses every instance with kTestEngineRefusal.
inline constexpr wchar_t kRefusingEngineClass[] = L"{C26DB36B-D771-4B8C-AD6C-4036B13EA8CD}";
inline constexpr HRESULT kTestEngineRefusal = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x7E57);

// Exports for a test that loads the DLL into its own process, where COM finds the same module:
// TestEngineLiveInstances, the engines alive now, and TestEngineLastText, a copy of the last
// rule text handed to any of them (the caller frees it).
using LiveInstancesFunction = LONG (*)();
using LastTextFunction = BSTR (*)();

} // namespace tarn::test
