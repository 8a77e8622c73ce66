#include "designscale.h"

#include <QWidget>

namespace ov::ui {

double designScale(const QWidget* widget) {
    return widget->logicalDpiY() / designDpi;
}

QFont designFont(const QString& family, int designPixelHeight, bool bold, double scale) {
    QFont font(family);
    font.setPixelSize(qMax(1, scaled(designPixelHeight, scale)));
    font.setBold(bold);
    return font;
}

} // namespace ov::ui
