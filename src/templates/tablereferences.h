#pragma once
// The tables that a template or a drawn element's text names, as the parser reads them, and the
// same texts with table Ids replaced.

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace ov {

// Every name the template remembers, with those the texts remember: what a text drawn during a
// run of it may use.
QSet<QString> rememberedNames(const QString& source, const QStringList& texts = {});

// The tables that an element's text draws from, each once, in reading order; a text that is no
// valid template names none (it is written as it stands).
QStringList tablesNamedInText(const QString& text, const QSet<QString>& known);

// The template with the table Ids found in renames replaced by their new Ids; everything else,
// line ends included, as it was. A template with a syntax error is returned as it is.
QString renameTablesInTemplate(const QString& source, const QHash<QString, QString>& renames);

// The same for an element's text, read with the names known.
QString renameTablesInText(const QString& text, const QSet<QString>& known,
                           const QHash<QString, QString>& renames);

} // namespace ov
