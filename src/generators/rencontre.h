#pragma once
// The rencontre generator's body.

#include "draws.h"
#include "generationrun.h"

namespace ov {

void generateRencontre(GenerationRun& run, Draws& draws);

} // namespace ov
