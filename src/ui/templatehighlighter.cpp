#include "templatehighlighter.h"

#include "templates/templatetokens.h"
#include "viewsettings.h"

#include <QTextDocument>

namespace ov::ui {

namespace {

// A token's colour: the light theme's, or a lighter one of the same hue on a dark background.
QColor readable(const QColor& light) {
    if (!ViewSettings::instance().dark())
        return light;
    QColor dark = QColor::fromHsl(light.hslHue(), light.hslSaturation(), 0);
    dark.setHsl(light.hslHue() < 0 ? 0 : light.hslHue(), light.hslSaturation(),
                qMax(170, 255 - light.lightness()));
    return dark;
}

QTextCharFormat tokenFormat(const QColor& colour, bool bold = false, bool italic = false) {
    QTextCharFormat f;
    f.setForeground(readable(colour));
    if (bold)
        f.setFontWeight(QFont::Bold);
    f.setFontItalic(italic);
    return f;
}

} // namespace

TemplateHighlighter::TemplateHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
    // The names remembered before a line depend on the lines above it.
    connect(document, &QTextDocument::contentsChanged, this, &TemplateHighlighter::namesChanged);
    connect(&ViewSettings::instance(), &ViewSettings::themeChanged, this,
            &QSyntaxHighlighter::rehighlight);
}

void TemplateHighlighter::setTables(const QSet<QString>& tables) {
    m_tables = tables;
    rehighlight();
}

void TemplateHighlighter::setError(const std::optional<TemplateError>& error) {
    const bool same = (!error && !m_error) || (error && m_error && error->line == m_error->line &&
                                               error->column == m_error->column);
    m_error = error;
    if (!same)
        rehighlight();
}

void TemplateHighlighter::namesChanged() {
    const QVector<QSet<QString>> known = rememberedNamesByLine(document()->toPlainText());
    if (known == m_known)
        return;
    m_known = known;
    rehighlight();
}

void TemplateHighlighter::highlightBlock(const QString& text) {
    const int line = currentBlock().blockNumber();
    QSet<QString> known = line < m_known.size() ? m_known.at(line) : QSet<QString>();
    for (const TemplateToken& token : templateLineTokens(text, known)) {
        QTextCharFormat f;
        switch (token.kind) {
        case TemplateToken::Kind::Comment:
            f = tokenFormat(Qt::darkGray, false, true);
            break;
        case TemplateToken::Kind::Table:
            f = tokenFormat(QColor(0x00, 0x50, 0xa0), true);
            if (!m_tables.contains(token.text)) {
                f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
                f.setUnderlineColor(Qt::red);
                f.setToolTip(QStringLiteral("Pas de table \"") + token.text + QLatin1Char('"'));
            }
            break;
        case TemplateToken::Kind::Remembered:
            f = tokenFormat(QColor(0x80, 0x00, 0x80));
            break;
        case TemplateToken::Kind::Dice:
            f = tokenFormat(QColor(0xa0, 0x50, 0x00), true);
            break;
        case TemplateToken::Kind::Number:
            f = tokenFormat(QColor(0xa0, 0x50, 0x00));
            break;
        case TemplateToken::Kind::Escape:
            f = tokenFormat(QColor(0x00, 0x80, 0x80));
            break;
        case TemplateToken::Kind::Syntax:
            f = tokenFormat(QColor(0x40, 0x40, 0x40), true);
            break;
        case TemplateToken::Kind::Article:
            f = tokenFormat(QColor(0x00, 0x70, 0x30), true);
            break;
        case TemplateToken::Kind::Tag:
            f = tokenFormat(QColor(0x00, 0x70, 0x30), false, true);
            break;
        }
        setFormat(token.start, token.length, f);
    }
    if (m_error && m_error->line == line + 1) {
        QTextCharFormat f;
        f.setBackground(ViewSettings::instance().dark() ? QColor(0x80, 0x20, 0x20)
                                                        : QColor(0xff, 0xc0, 0xc0));
        f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        f.setUnderlineColor(Qt::red);
        const int at = qMax(0, m_error->column - 1);
        setFormat(qMin(at, int(text.size())), at < text.size() ? 1 : 0, f);
        if (at >= text.size() && !text.isEmpty())
            setFormat(int(text.size()) - 1, 1, f);
    }
}

} // namespace ov::ui
