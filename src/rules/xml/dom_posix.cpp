#include "rules/xml/dom.h"

#include "rules/xml/pugi/document.h"

namespace tarn::xml {

CreateResult TryCreateDocument() noexcept {
    return pugi_backend::TryCreateDocument();
}

} // namespace tarn::xml
