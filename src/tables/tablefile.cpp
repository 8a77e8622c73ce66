#include "tablefile.h"

#include "database.h"
#include "savefile.h"
#include "textrules.h"

#include <QFile>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>
#include <cmath>
#include <optional>

namespace ov {

namespace {

// More problems than this are summed up in one last line.
constexpr int maxListedProblems = 20;

QString joinProblems(const QStringList& problems) {
    return problems.join(QLatin1Char('\n'));
}

QString quoted(const QString& text) {
    return QStringLiteral("« ") + text + QStringLiteral(" »");
}

int characterCount(const QString& text) {
    int count = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        ++count;
    }
    return count;
}

bool hasControlCharacter(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

// Splits one line into its fields. Quoted fields may hold commas and doubled quotes; a quote
// inside an unquoted field is taken as it is. Returns the problem when the line is malformed.
std::optional<QString> splitFields(const QString& line, QStringList& fields) {
    fields.clear();
    int i = 0;
    const int size = int(line.size());
    while (true) {
        QString field;
        if (i < size && line.at(i) == QLatin1Char('"')) {
            ++i;
            bool closed = false;
            while (i < size) {
                if (line.at(i) == QLatin1Char('"')) {
                    if (i + 1 < size && line.at(i + 1) == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                field += line.at(i++);
            }
            if (!closed)
                return QStringLiteral("guillemet non fermé (un champ ne peut pas s'étendre sur "
                                      "plusieurs lignes)");
            if (i < size && line.at(i) != QLatin1Char(','))
                return QStringLiteral("caractère inattendu après un champ entre guillemets");
        } else {
            const qsizetype comma = line.indexOf(QLatin1Char(','), i);
            const int end = comma < 0 ? size : int(comma);
            field = line.mid(i, end - i);
            i = end;
        }
        fields.append(field);
        if (i >= size)
            return std::nullopt;
        ++i; // the comma
    }
}

QString csvField(const QString& text) {
    const bool needsQuotes = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                             text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' '));
    if (!needsQuotes)
        return text;
    QString escaped = text;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

enum Column { IdColumn, NameColumn, ElementColumn, WeightColumn, ColumnCount };

const char* const columnNames[ColumnCount] = {"Id", "Nom", "Element", "Proba"};

QString moreProblems(int count) {
    return QStringLiteral("… et %1 autre(s) problème(s)").arg(count);
}

// The first problems of a list, the others counted.
QStringList listed(const QStringList& problems) {
    if (problems.size() <= maxListedProblems)
        return problems;
    return problems.mid(0, maxListedProblems)
           << moreProblems(int(problems.size()) - maxListedProblems);
}

// Collects problems; past the limit they are only counted.
class Problems {
public:
    void add(int line, const QString& text) {
        add(QStringLiteral("ligne %1 : %2").arg(line).arg(text));
    }
    void add(const QString& text) {
        if (m_list.size() < maxListedProblems)
            m_list.append(text);
        else
            ++m_more;
    }
    bool any() const { return !m_list.isEmpty(); }
    [[noreturn]] void raise() const {
        QStringList all = m_list;
        if (m_more > 0)
            all.append(moreProblems(m_more));
        throw TableFileError(all);
    }

private:
    QStringList m_list;
    int m_more = 0;
};

} // namespace

TableFileError::TableFileError(QStringList problems)
    : Error(joinProblems(problems)), m_problems(std::move(problems)) {}

QString formatWeight(double weight) {
    if (std::isfinite(weight) && weight == std::trunc(weight) && std::fabs(weight) < 1e15)
        return QString::number(qint64(weight));
    return QString::number(weight, 'g', QLocale::FloatingPointShortest);
}

RandomTables parseTableFile(const QByteArray& bytes) {
    Problems problems;
    QByteArray content = bytes;
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);

    // Lines are split on the bytes: no UTF-8 sequence holds a line feed, so a bad sequence is
    // reported on its own line.
    const QList<QByteArray> rawLines = content.split('\n');
    int columns[ColumnCount] = {-1, -1, -1, -1};
    int fieldCount = 0;
    bool headerSeen = false;

    RandomTables tables;
    QHash<QString, int> indexById;
    QHash<QString, int> emptyDeclarationLine; // tables declared without elements, by Id

    QStringList fields;
    for (int n = 0; n < rawLines.size(); ++n) {
        const int lineNumber = n + 1;
        QByteArray raw = rawLines.at(n);
        if (raw.endsWith('\r'))
            raw.chop(1);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = decoder.decode(raw);
        if (decoder.hasError()) {
            problems.add(lineNumber, QStringLiteral("texte qui n'est pas en UTF-8"));
            if (!headerSeen)
                problems.raise();
            continue;
        }
        if (line.trimmed().isEmpty())
            continue;
        if (const auto problem = splitFields(line, fields)) {
            problems.add(lineNumber, *problem);
            if (!headerSeen)
                problems.raise();
            continue;
        }

        if (!headerSeen) {
            headerSeen = true;
            fieldCount = int(fields.size());
            for (int f = 0; f < fields.size(); ++f) {
                const QString name = fields.at(f).trimmed();
                int column = -1;
                for (int c = 0; c < ColumnCount; ++c) {
                    if (name.compare(QLatin1String(columnNames[c]), Qt::CaseInsensitive) == 0)
                        column = c;
                }
                if (column < 0)
                    problems.add(
                        lineNumber,
                        QStringLiteral("colonne %1 inconnue dans l'en-tête").arg(quoted(name)));
                else if (columns[column] >= 0)
                    problems.add(
                        lineNumber,
                        QStringLiteral("colonne %1 en double dans l'en-tête").arg(quoted(name)));
                else
                    columns[column] = f;
            }
            for (int c = 0; c < ColumnCount; ++c) {
                if (columns[c] < 0)
                    problems.add(lineNumber, QStringLiteral("colonne %1 absente de l'en-tête")
                                                 .arg(quoted(QLatin1String(columnNames[c]))));
            }
            if (problems.any()) {
                problems.add(QStringLiteral("L'en-tête attendu est : %1")
                                 .arg(QLatin1String(tableFileHeader)));
                problems.raise();
            }
            continue;
        }

        if (fields.size() != fieldCount) {
            problems.add(lineNumber, QStringLiteral("%1 colonnes attendues, %2 trouvées")
                                         .arg(fieldCount)
                                         .arg(fields.size()));
            continue;
        }
        const QString id = fields.at(columns[IdColumn]);
        const QString name = fields.at(columns[NameColumn]);
        const QString text = fields.at(columns[ElementColumn]);
        const QString weightText = fields.at(columns[WeightColumn]);

        bool rowOk = true;
        const auto refuse = [&](const QString& problem) {
            problems.add(lineNumber, problem);
            rowOk = false;
        };
        for (int c = 0; c < ColumnCount; ++c) {
            if (hasControlCharacter(fields.at(columns[c])))
                refuse(QStringLiteral("caractère de contrôle dans la colonne %1")
                           .arg(QLatin1String(columnNames[c])));
        }
        if (id.isEmpty())
            refuse(QStringLiteral("identifiant de table vide"));
        else if (characterCount(id) > width::TableId)
            refuse(QStringLiteral("identifiant de table %1 trop long (%2 caractères au plus)")
                       .arg(quoted(id))
                       .arg(width::TableId));
        if (characterCount(name) > width::TableName)
            refuse(QStringLiteral("nom de table trop long (%1 caractères, %2 au plus)")
                       .arg(characterCount(name))
                       .arg(width::TableName));
        if (characterCount(text) > width::Element)
            refuse(QStringLiteral("élément trop long (%1 caractères, %2 au plus)")
                       .arg(characterCount(text))
                       .arg(width::Element));

        const bool declaresEmptyTable = text.isEmpty() && weightText.isEmpty();
        std::optional<double> weight;
        if (!declaresEmptyTable) {
            if (weightText.isEmpty())
                refuse(QStringLiteral("poids manquant"));
            else if (const auto whole = parseElementWeight(weightText))
                weight = double(*whole);
            else
                refuse(QStringLiteral("poids %1 incorrect (%2 est attendu)")
                           .arg(quoted(weightText), elementWeightRule()));
        }
        if (!rowOk)
            continue;

        auto found = indexById.constFind(id);
        if (found == indexById.constEnd()) {
            found = indexById.insert(id, int(tables.size()));
            tables.append(RandomTable{id, name, {}, lineNumber});
        }
        RandomTable& table = tables[*found];
        if (table.name != name) {
            problems.add(lineNumber, QStringLiteral("la table %1 porte le nom %2 à la ligne %3")
                                         .arg(quoted(id), quoted(table.name))
                                         .arg(table.line));
            continue;
        }
        if (declaresEmptyTable) {
            if (emptyDeclarationLine.contains(id))
                problems.add(lineNumber, QStringLiteral("la table %1 est déjà déclarée vide à la "
                                                        "ligne %2")
                                             .arg(quoted(id))
                                             .arg(emptyDeclarationLine.value(id)));
            else
                emptyDeclarationLine.insert(id, lineNumber);
            continue;
        }
        table.elements.append(TableElement{text, *weight});
    }

    if (!headerSeen)
        problems.add(QStringLiteral("Le fichier est vide : la ligne d'en-tête « %1 » manque.")
                         .arg(QLatin1String(tableFileHeader)));
    for (auto it = emptyDeclarationLine.constBegin(); it != emptyDeclarationLine.constEnd(); ++it) {
        const RandomTable& table = tables.at(indexById.value(it.key()));
        if (!table.elements.isEmpty())
            problems.add(it.value(),
                         QStringLiteral("ligne sans élément ni poids pour la table %1, qui a "
                                        "des éléments (une telle ligne déclare une table vide)")
                             .arg(quoted(it.key())));
    }
    if (problems.any())
        problems.raise();
    return tables;
}

RandomTables readTableFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TableFileError({QStringLiteral("Impossible de lire le fichier %1 : %2")
                                  .arg(path, file.errorString())});
    return parseTableFile(file.readAll());
}

QByteArray formatTableFile(const RandomTables& tables) {
    QString text = QLatin1String(tableFileHeader) + QLatin1Char('\n');
    for (const RandomTable& table : tables) {
        const QString head =
            csvField(table.id) + QLatin1Char(',') + csvField(table.name) + QLatin1Char(',');
        if (table.elements.isEmpty())
            text += head + QStringLiteral(",\n");
        for (const TableElement& element : table.elements)
            text += head + csvField(element.text) + QLatin1Char(',') +
                    formatWeight(element.weight) + QLatin1Char('\n');
    }
    return text.toUtf8();
}

void writeTableFile(const QString& path, const RandomTables& tables) {
    OutputFile file(path);
    if (!file.open())
        throw Error(cannotWriteMessage(path, file.errorString()));
    // The byte order mark lets spreadsheets recognise UTF-8.
    file.device().write("\xEF\xBB\xBF");
    file.device().write(formatTableFile(tables));
    if (const QString failure = file.commit(); !failure.isEmpty())
        throw Error(cannotWriteMessage(path, failure));
}

RandomTables loadRandomTables(const Database& database) {
    RandomTables tables;
    QHash<QString, int> indexById;
    QSqlQuery master = database.run(QStringLiteral("SELECT Id, Nom FROM OVmaster ORDER BY Id"));
    while (master.next()) {
        const QString id = master.value(0).toString();
        indexById.insert(id, int(tables.size()));
        tables.append(RandomTable{id, master.value(1).toString(), {}, 0});
    }
    QSqlQuery elements =
        database.run(QStringLiteral("SELECT ID, Element, Proba FROM OVslave ORDER BY rowid"));
    while (elements.next()) {
        const auto found = indexById.constFind(elements.value(0).toString());
        if (found == indexById.constEnd())
            continue; // an element whose table is gone belongs to no table
        tables[*found].elements.append(
            TableElement{elements.value(1).toString(), elements.value(2).toDouble()});
    }
    return tables;
}

ImportSummary importTables(const Database& database, const RandomTables& tables, ImportMode mode) {
    ImportSummary summary;
    database.transaction([&] {
        QStringList conflicts;
        QStringList duplicates;
        QHash<QString, int> seen;
        QSet<QString> existing;
        for (const RandomTable& table : tables) {
            const QString where =
                table.line > 0 ? QStringLiteral("ligne %1 : ").arg(table.line) : QString();
            if (seen.contains(table.id)) {
                duplicates.append(
                    where + QStringLiteral("la table %1 apparaît deux fois").arg(quoted(table.id)));
                continue;
            }
            seen.insert(table.id, table.line);
            if (database
                    .scalar(QStringLiteral("SELECT count(*) FROM OVmaster WHERE Id = ?"),
                            {table.id})
                    .toInt() > 0) {
                existing.insert(table.id);
                if (mode == ImportMode::AddOnly)
                    conflicts.append(where + QStringLiteral("la table %1 existe déjà dans la base")
                                                 .arg(quoted(table.id)));
            }
        }
        if (!duplicates.isEmpty())
            throw TableFileError(listed(duplicates));
        if (!conflicts.isEmpty())
            throw TableConflictError(listed(conflicts));

        QSqlQuery insertElement(database.connection());
        if (!insertElement.prepare(
                QStringLiteral("INSERT INTO OVslave (ID, Element, Proba) VALUES (?, ?, ?)")))
            throw DatabaseError(
                database.failureMessage(insertElement.lastQuery(), insertElement.lastError()));
        for (const RandomTable& table : tables) {
            // Elements left without their table under this Id would join the new one.
            database.run(QStringLiteral("DELETE FROM OVslave WHERE ID = ?"), {table.id});
            if (existing.contains(table.id)) {
                database.run(QStringLiteral("DELETE FROM OVmaster WHERE Id = ?"), {table.id});
                ++summary.replaced;
            }
            database.run(QStringLiteral("INSERT INTO OVmaster (Id, Nom, NbrElement, TotProba)"
                                        " VALUES (?, ?, 0, 0)"),
                         {table.id, table.name});
            for (const TableElement& element : table.elements) {
                insertElement.bindValue(0, table.id);
                insertElement.bindValue(1, element.text);
                insertElement.bindValue(2, element.weight);
                if (!insertElement.exec())
                    throw DatabaseError(database.failureMessage(insertElement.lastQuery(),
                                                                insertElement.lastError()));
            }
            database.run(QStringLiteral("UPDATE OVmaster SET"
                                        " NbrElement = (SELECT count(*) FROM OVslave WHERE ID = ?),"
                                        " TotProba = (SELECT coalesce(sum(Proba), 0) FROM OVslave"
                                        " WHERE ID = ?) WHERE Id = ?"),
                         {table.id, table.id, table.id});
            ++summary.tables;
            summary.elements += int(table.elements.size());
        }
    });
    return summary;
}

} // namespace ov
