#include "mainscreen.h"

namespace ov::ui {

TovMainPerso::TovMainPerso(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ovMainPerso"));
    setWindowTitle(QStringLiteral("Orvanthe Main Screen"));
}

} // namespace ov::ui
