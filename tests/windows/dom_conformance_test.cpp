// The XML document access conformance suite over MSXML, on a thread in the multithreaded
// apartment as the host provides it.
#include "rules/xml/dom.h"
#include "utility/log/comerror.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK); }
    void TearDown() override { CoUninitialize(); }
};

const ::testing::Environment* const kComEnvironment =
    ::testing::AddGlobalTestEnvironment(new ComEnvironment);

} // namespace

#include "common/dom_conformance.inc"
