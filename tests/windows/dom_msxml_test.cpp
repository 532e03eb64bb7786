// What the MSXML backend needs from its thread: creation reports a thread without COM as its
// HRESULT, and works in either apartment the host may call from.
#include "rules/xml/dom.h"
#include "utility/log/comerror.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace tarn::xml {
namespace {

constexpr DWORD kNoCom = 0xFFFFFFFF;

struct ThreadOutcome {
    HRESULT created = E_UNEXPECTED;
    std::u16string rootName;
};

// Creates a document and loads a rule document on a new thread that joins the apartment
// `model` (or none), as a host thread would.
ThreadOutcome CreateOnNewThread(DWORD model) {
    ThreadOutcome outcome;
    std::thread([&] {
        const bool joined = model != kNoCom && SUCCEEDED(CoInitializeEx(nullptr, model));
        {
            CreateResult created = TryCreateDocument();
            outcome.created = created.hr;
            if (created.document && created.document->LoadXml(u"<doc><ruleset/></doc>")) {
                outcome.rootName = created.document->SelectSingleNode(u"//ruleset").Name();
            }
        }
        if (joined) {
            CoUninitialize();
        }
    }).join();
    return outcome;
}

TEST(DomMsxml, CreationReportsAThreadWithoutComAsItsHresult) {
    const ThreadOutcome outcome = CreateOnNewThread(kNoCom);
    EXPECT_EQ(outcome.created, CO_E_NOTINITIALIZED);
    EXPECT_EQ(outcome.rootName, u"");
}

TEST(DomMsxml, DocumentsWorkInEitherApartment) {
    for (const DWORD model : {COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED}) {
        const ThreadOutcome outcome = CreateOnNewThread(model);
        EXPECT_EQ(outcome.created, S_OK) << model;
        EXPECT_EQ(outcome.rootName, u"ruleset") << model;
    }
}

} // namespace
} // namespace tarn::xml
