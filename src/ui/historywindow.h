#pragma once
// The history window: every generated text, found by kind, print state, dates and words, read,
// copied, exported, reprinted, marked unprinted or deleted.

#include "history/history.h"

#include <QWidget>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace ov {
class Clock;
class Database;
} // namespace ov

namespace ov::ui {

class HistoryModel;
class PreviewPresenter;
class TovMainPerso;

// Chooses the file of an export: its path (empty: cancelled); the name's ending gives the format.
using ExportPathChooser = std::function<QString(QWidget* parent)>;

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    explicit HistoryWindow(const Database& database, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    HistoryModel* model() const { return m_model; }
    QTableView* list() const { return m_list; }
    QPlainTextEdit* textPane() const { return m_text; }
    // The status line under the list (« Copié » after a copy).
    QLabel* statusLine() const { return m_status; }
    QLineEdit* searchBox() const { return m_search; }

    // The records chosen in the list, in the list's order.
    QVector<HistoryEntry> selectedEntries() const;
    void selectRows(const QList<int>& rows);

    // Seams of the tests: the export file, the print preview, the clock of print dates.
    void setExportPathChooser(ExportPathChooser chooser) {
        m_chooseExportPath = std::move(chooser);
    }
    void setPreviewPresenter(std::unique_ptr<PreviewPresenter> presenter);
    void setClock(std::shared_ptr<const Clock> clock);

public Q_SLOTS:
    // The filters and the search box as they stand now, applied at once.
    void applyFilter();
    // The list read again (after a change made elsewhere), the selection kept where it can be.
    void reload();
    void copySelected();
    void exportSelected();
    void printSelected();
    void unprintSelected();
    void deleteSelected();

Q_SIGNALS:
    // Records were changed or deleted here: lists and counts elsewhere follow.
    void recordsChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    // The kinds of the filter: the built-in ones and the personal generators as they are now,
    // the chosen one kept.
    void fillKinds();
    void showCurrent();
    void updateActions();
    void afterChange();
    QVector<HistoryKey> selectedKeys() const;

    const Database& m_database;
    HistoryModel* m_model = nullptr;
    std::unique_ptr<PreviewPresenter> m_presenter;
    std::shared_ptr<const Clock> m_clock;
    ExportPathChooser m_chooseExportPath;

    QComboBox* m_kind = nullptr;
    QComboBox* m_printed = nullptr;
    QCheckBox* m_useSince = nullptr;
    QDateEdit* m_since = nullptr;
    QCheckBox* m_useUntil = nullptr;
    QDateEdit* m_until = nullptr;
    QLineEdit* m_search = nullptr;
    QTimer* m_searchDelay = nullptr;
    QTableView* m_list = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QCheckBox* m_monospace = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_print = nullptr;
    QPushButton* m_unprint = nullptr;
    QPushButton* m_delete = nullptr;
    QLabel* m_status = nullptr;
};

// « Ouvrir l'historique »: the screen's history window, made the first time, shown and raised.
// Changes made in it refresh the screen's records and count. Null when the store is not open.
HistoryWindow* openHistoryWindow(TovMainPerso& screen);

// « Afficher le dernier texte »: the text generated last, of any kind, in the screen's memo.
void showLastText(TovMainPerso& screen);

} // namespace ov::ui
