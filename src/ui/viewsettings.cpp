#include "viewsettings.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QWidget>
#include <cmath>

namespace ov::ui {

namespace {

const QString zoomKey = QStringLiteral("affichage/zoom");
const QString themeKey = QStringLiteral("affichage/theme");

QPalette systemPalette; // the palette the desktop gave, before any theme of ours

QPalette darkPalette() {
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2b), base(0x1e, 0x1e, 0x1e), text(0xe8, 0xe8, 0xe8);
    const QColor disabled(0x80, 0x80, 0x80);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xff, 0x80, 0x80));
    p.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x40));
    p.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x30));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x18));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(0x3d, 0x6e, 0xa8));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x7a, 0xb4, 0xff));
    p.setColor(QPalette::LinkVisited, QColor(0xc0, 0x9a, 0xff));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

Theme themeFromText(const QString& text) {
    if (text == QLatin1String("clair"))
        return Theme::Clair;
    if (text == QLatin1String("sombre"))
        return Theme::Sombre;
    return Theme::Systeme;
}

QString themeText(Theme theme) {
    switch (theme) {
    case Theme::Clair:
        return QStringLiteral("clair");
    case Theme::Sombre:
        return QStringLiteral("sombre");
    case Theme::Systeme:
        break;
    }
    return QStringLiteral("systeme");
}

double clampZoom(double zoom) {
    if (!std::isfinite(zoom))
        return 1.0;
    const double stepped = std::round(zoom / ViewSettings::zoomStep) * ViewSettings::zoomStep;
    return std::clamp(stepped, ViewSettings::minZoom, ViewSettings::maxZoom);
}

} // namespace

ViewSettings& ViewSettings::instance() {
    static ViewSettings* settings = new ViewSettings;
    return *settings;
}

void ViewSettings::load() {
    if (!m_systemRead && qApp) {
        // The desktop's scheme as Qt reads it: the palette of its platform theme.
        systemPalette = QApplication::palette();
        m_systemDark = isDark(systemPalette) ||
                       qEnvironmentVariable("GTK_THEME").endsWith(QLatin1String(":dark"));
        m_systemRead = true;
    }
    const QSettings settings;
    m_zoom = clampZoom(settings.value(zoomKey, 1.0).toDouble());
    m_theme = themeFromText(settings.value(themeKey).toString());
    setTheme(m_theme);
    Q_EMIT zoomChanged(m_zoom);
}

void ViewSettings::setZoom(double zoom) {
    const double next = clampZoom(zoom);
    QSettings().setValue(zoomKey, next);
    if (qFuzzyCompare(next, m_zoom))
        return;
    m_zoom = next;
    Q_EMIT zoomChanged(m_zoom);
}

bool ViewSettings::dark() const {
    return m_theme == Theme::Sombre || (m_theme == Theme::Systeme && m_systemDark);
}

void ViewSettings::setTheme(Theme theme) {
    m_theme = theme;
    QSettings().setValue(themeKey, themeText(theme));
    if (qApp == nullptr)
        return;
    QPalette palette = systemPalette;
    if (theme == Theme::Sombre || (theme == Theme::Systeme && m_systemDark && !isDark(palette)))
        palette = darkPalette();
    else if (theme == Theme::Clair && isDark(palette))
        palette = QApplication::style()->standardPalette();
    QApplication::setPalette(palette);
    // The windows take it at once, also before the event loop runs (Qt tells them only then).
    for (QWidget* widget : QApplication::allWidgets()) {
        QEvent changed(QEvent::ApplicationPaletteChange);
        QCoreApplication::sendEvent(widget, &changed);
    }
    Q_EMIT themeChanged();
}

QColor ViewSettings::highlightBackground() const {
    return dark() ? QColor(0x80, 0x68, 0x00) : QColor(255, 230, 80);
}

QColor ViewSettings::highlightText() const {
    return dark() ? QColor(Qt::white) : QColor(Qt::black);
}

QFont zoomedFont(QFont base) {
    const double zoom = ViewSettings::instance().zoom();
    if (base.pixelSize() > 0)
        base.setPixelSize(qMax(1, qRound(base.pixelSize() * zoom)));
    else
        base.setPointSizeF(base.pointSizeF() * zoom);
    return base;
}

void followZoom(QWidget* widget, const QFont& base) {
    const QFont start = base == QFont() ? QApplication::font() : base;
    const auto apply = [widget, start] { widget->setFont(zoomedFont(start)); };
    apply();
    QObject::connect(&ViewSettings::instance(), &ViewSettings::zoomChanged, widget, apply);
}

int fittingPixelSize(const QPushButton& button, int designPixels) {
    QString caption = button.text();
    caption.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    QFont font = button.font();
    // The room inside the button's frame and margins.
    const int margin =
        button.style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button) +
        2 * button.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
    const int width = button.width() - margin;
    const int height = button.height() - 4;
    int size = qMax(1, designPixels);
    for (; size > 6; --size) {
        font.setPixelSize(size);
        const QFontMetrics metrics(font);
        if (metrics.horizontalAdvance(caption) <= width && metrics.height() <= height)
            break;
    }
    return size;
}

void rememberWindowGeometry(QWidget* window, const QString& key) {
    QSettings().setValue(key, window->saveGeometry());
}

bool restoreWindowGeometry(QWidget* window, const QString& key) {
    const QByteArray saved = QSettings().value(key).toByteArray();
    return !saved.isEmpty() && window->restoreGeometry(saved);
}

} // namespace ov::ui
