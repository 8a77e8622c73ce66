#include "rencontre.h"

namespace ov {

void generateRencontre(GenerationRun& run, Draws& draws) {
    // Frame only until the body lands.
    Q_UNUSED(draws);
    run.begin();
    run.addHeader();
    run.finish(QStringLiteral(" "));
}

} // namespace ov
