#pragma once
// The perso generator's body.

#include "draws.h"
#include "generationrun.h"

namespace ov {

void generatePerso(GenerationRun& run, Draws& draws);

} // namespace ov
