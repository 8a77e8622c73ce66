#include "tresor.h"

namespace ov {

void generateTresor(GenerationRun& run, Draws& draws) {
    // Frame only until the body lands.
    Q_UNUSED(draws);
    run.begin();
    run.addHeader();
    run.finish(QStringLiteral(" "));
}

} // namespace ov
