#pragma once
// The rules of the table maintenance: new tables, new elements, deletions, the recount, Id edits.

#include <QString>
#include <optional>

namespace ov {

class Database;

// The messages of the table maintenance, with their exact blanks.
namespace maintenance {
inline QString enterValues() {
    return QStringLiteral("Entrez des valeurs !");
}
inline QString tableExists() {
    return QStringLiteral("Cette table existe déjà !");
}
inline QString masterInactive() {
    return QStringLiteral("Table maître inactive... ");
}
inline QString noTableSelected() {
    return QStringLiteral("Pas de table sélectionnée... ");
}
inline QString enterElementValues() {
    return QStringLiteral("Entrez des valeurs pour cet élément!");
}
inline QString elementExists() {
    return QStringLiteral("Cet élément existe déjà !");
}
inline QString badWeight() {
    return QStringLiteral("Probabilité incorrecte !");
}
inline QString emptyTableId() {
    return QStringLiteral("L'Id d'une table ne peut pas être vide !");
}
inline QString tableIdTaken(const QString& id) {
    return QStringLiteral("Une autre table porte déjà l'Id \"") + id + QStringLiteral("\" !");
}
} // namespace maintenance

// Why a change was refused (the message to show), or nothing when it was made.
using Refusal = std::optional<QString>;

// A text typed into a field (its name given) that holds a control character: "Element :
// caractère de contrôle U+0007 interdit (caractère 3)"; nothing for any other text.
Refusal controlCharacterRefusal(const QString& field, const QString& text);

class TableMaintenance {
public:
    explicit TableMaintenance(const Database& database) : m_database(database) {}

    // What a text becomes as a table Id: its first four characters.
    static QString tableKey(const QString& text);

    // Key searches: the table Id (cut to four characters); the table Id and the element text.
    bool tableExists(const QString& id) const;
    bool elementExists(const QString& tableId, const QString& element) const;

    // "&Nouvelle Table": both texts required, the Id free; the new table has no element.
    Refusal createTable(const QString& idText, const QString& name) const;

    // The element is refused when its table already has it, when the table does not exist, or
    // when the weight is not a whole number; the table's totals follow the new element.
    Refusal addElement(const QString& tableId, const QString& element,
                       const QString& weightText) const;

    // An Id edit in the master grid: refused when empty or when another table has it.
    Refusal checkTableIdChange(const QString& currentId, const QString& newIdText) const;
    // The same check and the change, in one transaction; the elements follow their table.
    Refusal changeTableId(const QString& currentId, const QString& newIdText) const;

    // The cascade of a table's deletion: every element of the table.
    void deleteElements(const QString& tableId) const;
    // The master row alone.
    void deleteTableRow(const QString& tableId) const;
    // The elements and then the table, in one transaction: all or nothing.
    void deleteTable(const QString& tableId) const;
    // One element, by its row.
    void deleteElement(qint64 rowId) const;

    // "Rafraîchir": every table's NbrElement and TotProba counted again from its elements, each
    // weight read as a whole number.
    void recount() const;

private:
    const Database& m_database;
};

} // namespace ov
