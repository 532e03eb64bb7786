// The component under hostile input and across its own unloading: every document ends with
// an HRESULT and a false answer, and the DLL can be unloaded after use and loaded again.
#include "support/componentlog.h"
#include "support/provider.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace tarn::test {
namespace {

std::wstring Repeated(const std::wstring& piece, std::size_t totalChars) {
    std::wstring text;
    text.reserve(totalChars + piece.size());
    while (text.size() < totalChars) {
        text += piece;
    }
    return text;
}

std::wstring Nested(int levels) {
    std::wstring text = L"<ruleset>";
    text.reserve(static_cast<std::size_t>(levels) * 11 + 32);
    for (int i = 0; i < levels; ++i) {
        text += L"<and>";
    }
    for (int i = 0; i < levels; ++i) {
        text += L"</and>";
    }
    return text + L"</ruleset>";
}

TEST(ProviderRobustness, HostileDocumentsEndWithAnHresultAndFalse) {
    ComScope com;
    ProviderDll dll;
    ComPtr<IInventoryRuleProvider> provider = dll.Create();
    ASSERT_TRUE(provider);
    constexpr std::size_t kFiftyMegabytes = 25u << 20; // characters of UTF-16
    const struct {
        const char* name;
        std::wstring document;
    } cases[] = {
        {"50 MB of text that is not XML", Repeated(L"not xml <<< &&& ", kFiftyMegabytes)},
        {"nested 100,000 levels", Nested(100000)},
    };
    for (const auto& c : cases) {
        const Answer answer = Evaluate(provider.Get(), c.document);
        EXPECT_LT(answer.hr, 0) << c.name;
        EXPECT_EQ(answer.result, VARIANT_FALSE) << c.name;
    }
    // 50 MB of well-formed rule, parsed and evaluated in full. (Wine's parser refuses single
    // nodes over 10 MB, so the padding is many comments.)
    const std::wstring padded =
        L"<ruleset>" + Repeated(L"<!--" + std::wstring(1000, L'p') + L"-->", kFiftyMegabytes) +
        L"<not><and/></not></ruleset>";
    EXPECT_EQ(Evaluate(provider.Get(), padded), (Answer{S_FALSE, VARIANT_FALSE}));
    // The object is still good for ordinary documents, also deep ones.
    EXPECT_EQ(Evaluate(provider.Get(), Nested(256)), (Answer{S_OK, VARIANT_TRUE}));
}

TEST(ProviderRobustness, UnloadsAfterUseAndLoadsAgain) {
    ComScope com;
    const std::wstring path = ProviderDllPath();
    const ComponentLogSince log;
    for (int round = 0; round < 2; ++round) {
        {
            ProviderDll dll;
            ComPtr<IInventoryRuleProvider> provider = dll.Create();
            ASSERT_TRUE(provider);
            // An unknown product is reported, so the log writer and its singletons exist.
            EXPECT_EQ(Evaluate(provider.Get(),
                               L"<ruleset><SmartMSIProductCode productCode="
                               L"'{0C0FFEE0-7A2B-4C1D-9E8F-102030405060}'/></ruleset>"),
                      (Answer{S_FALSE, VARIANT_FALSE}));
            provider.Reset();
            EXPECT_EQ(dll.CanUnloadNow(), S_OK);
        }
        EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr) << "round " << round;
    }
    // Both loads wrote their report before they went.
    EXPECT_EQ(log.From("EvaluateExpressionNode_msiProductInstalled").size(), 2u);
}

} // namespace
} // namespace tarn::test
