#pragma once
// The character generator: the body of the run behind the "&Perso" button.

#include "draws.h"
#include "generationrun.h"

namespace ov {

void generatePerso(GenerationRun& run, Draws& draws);

} // namespace ov
