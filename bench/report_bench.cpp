// A report below the configured severity mask: what every trace of every evaluation costs when
// trace records are not kept.
#include "utility/log/report.h"

#include <benchmark/benchmark.h>

namespace {

void FilteredOutReport(benchmark::State& state) {
    for (auto _ : state) {
        CEReportEvent(CE_SEVERITY_TRACE, u"Bench", u"not kept");
    }
}
BENCHMARK(FilteredOutReport);

void FilteredOutFormattedReport(benchmark::State& state) {
    const std::u16string source = u"EvaluateExpressionNode_os";
    for (auto _ : state) {
        CEReportEventFormat(CE_SEVERITY_TRACE, source.c_str(), u"Return false for OS %s", source);
    }
}
BENCHMARK(FilteredOutFormattedReport);

} // namespace
