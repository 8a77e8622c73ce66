#include "tableimportdialog.h"

#include "messages.h"
#include "tables/database.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ov::ui {

TableImportDialog::TableImportDialog(const Database& database, const QByteArray& bytes,
                                     const QString& where, const QString& untitled, QWidget* parent)
    : QDialog(parent), m_database(database) {
    setObjectName(QStringLiteral("dlgImporterTables"));
    setWindowTitle(QStringLiteral("Importer des tables : ") + where);
    auto* layout = new QVBoxLayout(this);
    m_format = new QLabel(this);
    m_format->setObjectName(QStringLiteral("lblFormat"));
    layout->addWidget(m_format);
    auto* form = new QFormLayout;
    m_id = new QLineEdit(this);
    m_id->setObjectName(QStringLiteral("edtId"));
    m_id->setMaxLength(4);
    m_id->setPlaceholderText(QStringLiteral("libre, fait du nom"));
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("edtNom"));
    m_name->setPlaceholderText(QStringLiteral("le titre du texte"));
    form->addRow(QStringLiteral("&Identifiant :"), m_id);
    form->addRow(QStringLiteral("&Nom :"), m_name);
    layout->addLayout(form);
    m_preview = new QTableWidget(0, 3, this);
    m_preview->setObjectName(QStringLiteral("grdApercu"));
    m_preview->setHorizontalHeaderLabels(
        {QStringLiteral("Table"), QStringLiteral("Élément"), QStringLiteral("Poids")});
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_preview->verticalHeader()->hide();
    layout->addWidget(m_preview, 1);
    m_problems = new QLabel(this);
    m_problems->setObjectName(QStringLiteral("lblProblemes"));
    m_problems->setWordWrap(true);
    m_problems->setTextFormat(Qt::PlainText);
    m_problems->setStyleSheet(QStringLiteral("color: #a00000"));
    layout->addWidget(m_problems);
    auto* buttons = new QDialogButtonBox(this);
    m_import = buttons->addButton(QStringLiteral("&Importer"), QDialogButtonBox::AcceptRole);
    m_import->setObjectName(QStringLiteral("btnImporter"));
    buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("btnAnnuler"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TableImportDialog::importNow);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_id, &QLineEdit::textChanged, this, &TableImportDialog::refresh);
    connect(m_name, &QLineEdit::textChanged, this, &TableImportDialog::refresh);
    resize(640, 420);

    try {
        m_read = readForeignTables(bytes, where, untitled);
        m_format->setText(QStringLiteral("Format reconnu : ") + tableFormatName(m_read->format));
    } catch (const TableFileError& error) {
        m_format->setText(QStringLiteral("Texte refusé : rien ne sera importé."));
        m_problems->setText(error.message());
    }
    const bool single = m_read && m_read->tables.size() == 1;
    m_id->setEnabled(single);
    m_name->setEnabled(single);
    refresh();
}

void TableImportDialog::refresh() {
    m_preview->setRowCount(0);
    m_import->setEnabled(false);
    if (!m_read)
        return;
    m_ready = m_read->tables;
    try {
        assignTableIds(m_ready, m_database, m_id->text().trimmed(), m_name->text().trimmed());
        m_problems->clear();
    } catch (const Error& error) {
        m_problems->setText(error.message());
        return;
    }
    for (const RandomTable& table : m_ready) {
        for (const TableElement& element : table.elements) {
            const int row = m_preview->rowCount();
            m_preview->insertRow(row);
            m_preview->setItem(row, 0,
                               new QTableWidgetItem(table.id + QStringLiteral(" : ") + table.name));
            m_preview->setItem(row, 1, new QTableWidgetItem(element.text));
            auto* weight = new QTableWidgetItem(formatWeight(element.weight));
            weight->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_preview->setItem(row, 2, weight);
        }
    }
    m_preview->resizeColumnToContents(0);
    m_import->setEnabled(true);
}

void TableImportDialog::importNow() {
    guarded([&] {
        ImportSummary summary;
        try {
            summary = importTables(m_database, m_ready, ImportMode::AddOnly);
        } catch (const TableConflictError& error) {
            if (!askConfirmation(error.message() +
                                 QStringLiteral("\n\nRemplacer les tables qui existent déjà ?")))
                return;
            summary = importTables(m_database, m_ready, ImportMode::Replace);
        } catch (const TableFileError& error) {
            m_problems->setText(error.message() + QStringLiteral("\nRien n'a été importé."));
            return;
        }
        accept();
        Q_EMIT imported(importSummaryText(summary));
    });
}

} // namespace ov::ui
