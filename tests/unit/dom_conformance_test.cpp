// The XML document access conformance suite over the pugixml backend.
#include "rules/xml/dom.h"
#include "utility/log/comerror.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/dom_conformance.inc"
