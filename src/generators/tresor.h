#pragma once
// The treasure generator's body: a treasure type, its item with details, and two fixed lines.

#include "draws.h"
#include "generationrun.h"

namespace ov {

void generateTresor(GenerationRun& run, Draws& draws);

} // namespace ov
