#pragma once
// « Affichage »: the zoom of the windows and their theme, remembered per user, and the palette and
// colours that follow the theme.

#include <QColor>
#include <QFont>
#include <QObject>
#include <QString>

class QMainWindow;
class QPushButton;
class QWidget;

namespace ov::ui {

enum class Theme { Systeme, Clair, Sombre };

// The zoom and the theme of every window; windows that follow them listen to its signals.
class ViewSettings : public QObject {
    Q_OBJECT
public:
    static ViewSettings& instance();

    static constexpr double minZoom = 0.8;
    static constexpr double maxZoom = 2.5;
    static constexpr double zoomStep = 0.1;

    // The zoom factor remembered for this user (1 = the design size).
    double zoom() const { return m_zoom; }
    // Clamped to minZoom…maxZoom and rounded to a step; remembered.
    void setZoom(double zoom);
    void zoomIn() { setZoom(m_zoom + zoomStep); }
    void zoomOut() { setZoom(m_zoom - zoomStep); }

    Theme theme() const { return m_theme; }
    // Applies the theme's palette to the application and remembers the choice.
    void setTheme(Theme theme);
    // Whether the windows are dark now (the dark theme, or the system's scheme when it is dark).
    bool dark() const;
    // Reads the remembered zoom and theme, and applies the theme; called once the application
    // exists (and again by the tests after they changed the settings).
    void load();

    // Colours of the texts drawn by the program itself, readable on the theme's background.
    QColor highlightBackground() const;
    QColor highlightText() const;

Q_SIGNALS:
    void zoomChanged(double zoom);
    void themeChanged();

private:
    ViewSettings() = default;
    double m_zoom = 1.0;
    Theme m_theme = Theme::Systeme;
    bool m_systemDark = false;
    bool m_systemRead = false;
};

// A font grown or shrunk by the zoom of the moment.
QFont zoomedFont(QFont base);
// The widget's font follows the zoom: base (the application's font when none) times the zoom,
// now and after each change.
void followZoom(QWidget* widget, const QFont& base = QFont());

// The largest pixel size, at most designPixels, at which the button's caption fits its width and
// height; the family and weight stay.
int fittingPixelSize(const QPushButton& button, int designPixels);

// The window's size and place, remembered under key, and restored from it when there is one.
void rememberWindowGeometry(QWidget* window, const QString& key);
bool restoreWindowGeometry(QWidget* window, const QString& key);

} // namespace ov::ui
