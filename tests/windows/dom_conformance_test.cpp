// The XML document access conformance suite over MSXML, on a thread in the multithreaded
// apartment as the host provides it.
#include "rules/xml/dom.h"
#include "utility/log/comerror.h"
#include "utility/text/strings.h"

#include "support/apartment.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/dom_conformance.inc"
