// The machine of tarn-eval on Linux until offline images are supported: every query fails
// with one code and a description naming the query.
#include "machine/unavailable.h"
#include "utility/log/comerror.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(UnavailableMachine, QueriesFailNamingTheQuery) {
    const char16_t* queries[] = {u"SRFileVersion", u"", u"registry key HKLM\\Software"};
    for (const char16_t* query : queries) {
        try {
            UnavailableMachine::RaiseUnavailable(query);
            ADD_FAILURE() << "no failure raised";
        } catch (const _com_error& e) {
            EXPECT_EQ(e.Error(), static_cast<HRESULT>(0x80070032u));
            EXPECT_EQ(e.Description(), std::u16string(query) + u" needs a Windows image");
        }
    }
}

} // namespace
} // namespace tarn
