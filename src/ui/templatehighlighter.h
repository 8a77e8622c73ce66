#pragma once
// The colours of a template: tables, dice, numbers, remembered values, comments, the first syntax
// error; a table that the store does not have is underlined.

#include "templates/template.h"

#include <QSet>
#include <QSyntaxHighlighter>
#include <QVector>
#include <optional>

namespace ov::ui {

class TemplateHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit TemplateHighlighter(QTextDocument* document);

    // The Ids of the tables the store has.
    void setTables(const QSet<QString>& tables);
    // The error to mark, or none.
    void setError(const std::optional<TemplateError>& error);

protected:
    void highlightBlock(const QString& text) override;

private:
    void namesChanged();

    QSet<QString> m_tables;
    std::optional<TemplateError> m_error;
    QVector<QSet<QString>> m_known; // the names remembered before each line
};

} // namespace ov::ui
