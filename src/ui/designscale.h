#pragma once
// Design pixels (120 per inch) turned into screen pixels, for positions and font heights.

#include <QFont>
#include <QRect>
#include <QString>

class QWidget;

namespace ov::ui {

inline constexpr double designDpi = 120.0;

// The screen's logical resolution over the design resolution.
double designScale(const QWidget* widget);

inline int scaled(int designPixels, double scale) {
    return qRound(designPixels * scale);
}

inline QRect scaledRect(int x, int y, int width, int height, double scale) {
    return QRect(scaled(x, scale), scaled(y, scale), scaled(width, scale), scaled(height, scale));
}

// A font asked for by its family name, its height given in design pixels.
QFont designFont(const QString& family, int designPixelHeight, bool bold, double scale);

} // namespace ov::ui
