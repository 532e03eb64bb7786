// Evaluation status, returned by every expression evaluator: 0 the expression holds, 1 it
// does not, any other value (a negative HRESULT in practice) is a failure status that counts
// as not holding and is passed upward unchanged.
#pragma once

#include <cstdint>

namespace tarn::rules {

using Status = std::int32_t;
inline constexpr Status kHolds = 0;
inline constexpr Status kDoesNotHold = 1;

} // namespace tarn::rules
