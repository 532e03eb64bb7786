// Environment variables of an offline image: the blocks Windows builds for a process or a user
// from the registry, and %NAME% expansion over them.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace tarn::image {

// Names compare without case, as Windows compares them.
struct NoCaseLess {
    bool operator()(std::u16string_view a, std::u16string_view b) const noexcept;
    using is_transparent = void;
};
using Environment = std::map<std::u16string, std::u16string, NoCaseLess>;

// ExpandEnvironmentStringsW over `variables`: each %NAME% with a value is replaced by it; a name
// without one is kept as written, percent signs included.
std::u16string ExpandVariables(std::u16string_view text, const Environment& variables);

} // namespace tarn::image
