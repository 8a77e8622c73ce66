#pragma once
// « Importer des tables… » and « Coller une table »: a file or the clipboard's text read in any of
// the table formats, its elements and weights shown before anything is written.

#include "import/foreigntables.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace ov {
class Database;
}

namespace ov::ui {

class TableImportDialog : public QDialog {
    Q_OBJECT
public:
    // where names the source in the problems; untitled names a table whose text gives no title.
    TableImportDialog(const Database& database, const QByteArray& bytes, const QString& where,
                      const QString& untitled, QWidget* parent = nullptr);

    // Whether the text was read; otherwise the preview says why and nothing can be imported.
    bool readable() const { return m_read.has_value(); }

Q_SIGNALS:
    // The tables were written; the summary says what was done.
    void imported(const QString& summary);

private:
    void refresh(); // the preview, from the text read and the Id and name typed
    void importNow();

    const Database& m_database;
    std::optional<ForeignTables> m_read;
    RandomTables m_ready; // with their Ids, as they would be written
    QLabel* m_format;
    QLabel* m_problems;
    QLineEdit* m_id;
    QLineEdit* m_name;
    QTableWidget* m_preview;
    QPushButton* m_import;
};

} // namespace ov::ui
