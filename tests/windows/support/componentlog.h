// The agent log as the component loaded into a test process writes it. Each test program
// that uses this logs every severity: the override variable is set before anything logs.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tarn::test {

// The records that the component appends to the agent log from construction on.
class ComponentLogSince {
public:
    ComponentLogSince();
    // "<severity> <message>" of each new record of `source` written by the component in this
    // process.
    std::vector<std::string> From(const std::string& source) const;

private:
    std::size_t start_;
};

} // namespace tarn::test
