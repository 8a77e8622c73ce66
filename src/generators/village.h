#pragma once
// The village generator's body: a sheet of labelled lines ending with the numbered trades.

#include "draws.h"
#include "generationrun.h"

namespace ov {

void generateVillage(GenerationRun& run, Draws& draws);

} // namespace ov
