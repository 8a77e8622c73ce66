#pragma once
// The encounter generator's body: one to four encounters, each closed by a separator line.

#include "draws.h"
#include "generationrun.h"

namespace ov {

void generateRencontre(GenerationRun& run, Draws& draws);

} // namespace ov
