// The type information of IInventoryRuleProvider, reached the way automation clients reach
// it: the coclass of the component's type library names the interface, which lives in the
// agent's type library.
#pragma once

#include "utility/platform/comptr.h"

#include <oaidl.h>

#include <string>

namespace tarn::provider {

// Loads the type library embedded in the module file `modulePath` and follows its coclass's
// default interface to the interface's dispatch description and, for a dual interface, its
// virtual-table description (the one that calls the methods).
HRESULT ResolveProviderTypeInfo(const std::u16string& modulePath, ComPtr<ITypeInfo>& dispatch,
                                ComPtr<ITypeInfo>& vtable) noexcept;

} // namespace tarn::provider
