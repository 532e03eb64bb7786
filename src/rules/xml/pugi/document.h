// The DOM over pugixml: the rule evaluation's backend off Windows, and on Windows the one that
// the platform DOM is compared with.
#pragma once

#include "rules/xml/dom.h"

namespace tarn::xml::pugi_backend {

// An empty document. Never raises: exhausted memory comes back as E_OUTOFMEMORY.
CreateResult TryCreateDocument() noexcept;

} // namespace tarn::xml::pugi_backend
