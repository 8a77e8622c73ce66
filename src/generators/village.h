#pragma once
// The village generator's body.

#include "draws.h"
#include "generationrun.h"

namespace ov {

void generateVillage(GenerationRun& run, Draws& draws);

} // namespace ov
