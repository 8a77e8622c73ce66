#pragma once
// The tresor generator's body.

#include "draws.h"
#include "generationrun.h"

namespace ov {

void generateTresor(GenerationRun& run, Draws& draws);

} // namespace ov
