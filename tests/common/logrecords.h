// The agent log as the tests read it back.
#pragma once

#include "utility/log/logreader.h"

namespace tarn::test {

using logreader::LogRecord;
using logreader::ParseLogRecords;
using logreader::ReadFileBytes;

} // namespace tarn::test
