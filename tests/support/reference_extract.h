// The extraction of one variable as it was when each variable walked its scan text alone: the
// reference the differential tests and the extraction fuzz target compare the engine with.
#pragma once

#include "engine/extract_value.h"

namespace kolvane::reference {

SExtraction ReferenceExtractValue(const CScanVar& var, const SScanText& scan);

}  // namespace kolvane::reference
