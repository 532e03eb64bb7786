// The file test's cost against the bare Windows calls it makes, on a real file, in one run:
// an existence test against PathFileExistsW, a version test against the size query, the read
// and the two queries of the version resource. Also one whole document of 1,000 file tests.
// Windows only (the win64 tree under Wine); prints one line per measurement.
#include "machine/machine.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/xml/dom.h"
#include "utility/platform/bstr.h"

#include <windows.h>

#include <shlwapi.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Nanoseconds per call of `body`, the best of five rounds of `calls` calls.
template <class Body>
double NanosecondsPerCall(int calls, Body body) {
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < calls; ++i) {
            body();
        }
        const std::chrono::duration<double, std::nano> spent = Clock::now() - start;
        best = std::min(best, spent.count() / calls);
    }
    return best;
}

bool BareVersionRead(const std::wstring& path) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    std::vector<BYTE> data(size);
    void* value = nullptr;
    UINT length = 0;
    return size > 0 && GetFileVersionInfoW(path.c_str(), 0, size, data.data()) &&
           VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) &&
           VerQueryValueW(data.data(), L"\\", &value, &length);
}

// The expression element of a one-element document, evaluated again and again.
class Expression {
public:
    explicit Expression(const std::u16string& markup)
        : document_(tarn::xml::TryCreateDocument().document) {
        document_->LoadXml(markup);
    }
    void Select(std::u16string_view expression) const {
        document_->DocumentElement().SelectSingleNode(expression);
    }
    tarn::rules::Status Evaluate(tarn::rules::RuleProvider& provider) const {
        return provider.EvaluateExpressionNode(document_->DocumentElement(), false);
    }

private:
    std::unique_ptr<tarn::xml::Document> document_;
};

void Report(const char* name, double rule, double bare) {
    std::printf("%-28s rule %9.0f ns   bare calls %9.0f ns   ratio %.2f\n", name, rule, bare,
                rule / bare);
}

} // namespace

int main(int argc, char** argv) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring file = argc > 1 ? std::wstring(argv[1], argv[1] + strlen(argv[1])) : module;
    const std::u16string path(file.begin(), file.end());
    tarn::rules::RuleProvider provider(tarn::LiveMachine());
    const int calls = 2000;

    const Expression exists(u"<SRFileVersion Csidl='255' Path='" + path + u"'/>");
    Report("existence", NanosecondsPerCall(calls, [&] { exists.Evaluate(provider); }),
           NanosecondsPerCall(calls, [&] { PathFileExistsW(file.c_str()); }));
    const Expression versioned(u"<SRFileVersion Csidl='255' Path='" + path +
                               u"' Comparison='HIGHER_OR_SAME' version='0.0.0.1'/>");
    Report("version", NanosecondsPerCall(calls, [&] { versioned.Evaluate(provider); }),
           NanosecondsPerCall(calls, [&] {
               PathFileExistsW(file.c_str());
               BareVersionRead(file);
           }));

    // Where the rule's time goes beyond the bare calls.
    std::printf("  of which: one attribute selection (\"@Comparison\") %.0f ns, opening the "
                "thread token %.0f ns, the network switch key probe %.0f ns\n",
                NanosecondsPerCall(calls, [&] { versioned.Select(u"@Comparison"); }),
                NanosecondsPerCall(calls, [] { tarn::LiveMachine().OpenThreadToken(); }),
                NanosecondsPerCall(calls, [] {
                    tarn::LiveMachine().LocalMachineKeyExists(
                        u"SOFTWARE\\Orvanta\\Orvanta Agent\\NO_VERSION_OVER_NETWORK");
                }));

    std::u16string thousand = u"<ruleset><and>";
    for (int i = 0; i < 1000; ++i) {
        thousand += u"<SRFileVersion Csidl='255' Path='" + path +
                    u"' Comparison='HIGHER_OR_SAME' version='0." +
                    std::u16string(1, u'0' + i % 10) + u"'/>";
    }
    thousand += u"</and></ruleset>";
    const tarn::Bstr document = tarn::Bstr::Copy(thousand);
    VARIANT_BOOL result = VARIANT_FALSE;
    HRESULT hr = S_OK;
    const double whole =
        NanosecondsPerCall(5, [&] { hr = provider.EvaluateRules(document.Get(), &result); });
    std::printf("1000 version tests, one document: %.2f ms (HRESULT 0x%08lX, result %d)\n",
                whole / 1e6, static_cast<unsigned long>(hr), result == VARIANT_TRUE);
    CoUninitialize();
    return 0;
}
