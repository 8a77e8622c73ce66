#pragma once
// The window where personal generators are written: their list, the template with its colours,
// its check and a live preview.

#include "tables/clock.h"
#include "tables/random.h"
#include "templates/personalgenerator.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace ov {
class Database;
}

namespace ov::ui {

class TemplateEdit;
class TemplateHighlighter;

class GeneratorEditor : public QWidget {
    Q_OBJECT
public:
    // Chooses files: the .ovgen files to import, or (save) the file to export to.
    using FileChooser = std::function<QStringList(bool save, const QString& suggested)>;

    explicit GeneratorEditor(const Database& database, QWidget* parent = nullptr);
    ~GeneratorEditor() override;

    // The Id of the generator being edited, as stored; empty when there is none.
    QString currentId() const { return m_stored.id; }
    // Edits the stored generator with that Id (after the question on unsaved changes).
    bool select(const QString& id);
    // The fields differ from the stored generator.
    bool isDirty() const;
    quint32 seed() const;
    void setSeed(quint32 seed);

    void setClock(const Clock* clock) { m_clock = clock ? clock : &m_systemClock; }
    void setFileChooser(FileChooser chooser) { m_chooseFiles = std::move(chooser); }
    // The milliseconds the preview waits after the last key.
    static constexpr int previewDelay = 400;

public Q_SLOTS:
    void newGenerator();
    void duplicateGenerator();
    void renameGenerator(); // the Id field, selected: saving gives the new Id
    void deleteGenerator();
    void importGenerators();
    // A generator with its tables (.ovpack): all or nothing; the user chooses what a clash does.
    void importBundle(const QString& path);
    void exportGenerator();
    bool saveGenerator(); // false when refused (its message shown)
    void drawAgain();     // « Relancer »: a new seed
    void updatePreview();
    void showHelp();

Q_SIGNALS:
    // A generator was added, changed, renamed or removed.
    void generatorsChanged();
    // A generator came with its tables: the store's tables changed.
    void tablesChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    void reloadList(const QString& selectId);
    void load(const PersonalGenerator& generator);
    void rowChanged();
    // Asks what becomes of unsaved changes; false when the user stays.
    bool settleChanges();
    PersonalGenerator edited() const;
    void fieldsChanged();
    void updateCheck();
    void readTables();
    void errorClicked(QListWidgetItem* item);

    const Database& m_database;
    Clock m_systemClock;
    const Clock* m_clock = &m_systemClock;
    RandomSource m_seeds;
    FileChooser m_chooseFiles;
    PersonalGenerator m_stored; // the generator as stored, empty id when none
    bool m_loading = false;
    bool m_checking = false;
    QString m_lastPreview;

    QListWidget* lstGenerateurs = nullptr;
    QLineEdit* edtId = nullptr;
    QLineEdit* edtNomGenerateur = nullptr;
    QSpinBox* edtRaccourci = nullptr;
    TemplateEdit* edtModele = nullptr;
    QCheckBox* chkFrancais = nullptr; // « Français »: the post-pass on every line
    TemplateHighlighter* m_highlighter = nullptr;
    QListWidget* lstErreurs = nullptr;
    QSpinBox* edtGraine = nullptr;
    QPushButton* btnRelancer = nullptr;
    QPlainTextEdit* memApercu = nullptr;
    QLabel* lblApercu = nullptr;
    QTimer* m_previewTimer = nullptr;
};

} // namespace ov::ui
