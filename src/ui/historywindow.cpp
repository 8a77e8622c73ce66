#include "historywindow.h"
#include "viewsettings.h"

#include "historymodel.h"
#include "mainscreen.h"
#include "messages.h"
#include "preview.h"
#include "reports/reportfonts.h"
#include "tables/clock.h"
#include "tables/database.h"
#include "tables/historyindex.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

namespace ov::ui {

namespace {

constexpr int searchDelayMs = 250; // typing pauses this long before the list follows

const QString sizeKey = QStringLiteral("historyWindow/geometry");

QString chooseExportPathWithDialog(QWidget* parent) {
    QString chosenFilter;
    QString path = QFileDialog::getSaveFileName(
        parent, QStringLiteral("Exporter les textes"), QString(),
        QStringLiteral("Texte (*.txt);;Markdown (*.md);;JSON (*.json);;PDF (*.pdf)"),
        &chosenFilter);
    // A name without ending takes the ending of the chosen type.
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
        const qsizetype star = chosenFilter.indexOf(QStringLiteral("*."));
        if (star >= 0)
            path += chosenFilter.mid(star + 1, chosenFilter.indexOf(QLatin1Char(')')) - star - 1);
    }
    return path;
}

QString countText(qsizetype count) {
    return count > 1 ? QStringLiteral("les %1 textes choisis").arg(count)
                     : QStringLiteral("le texte choisi");
}

} // namespace

HistoryWindow::HistoryWindow(const Database& database, QWidget* parent)
    : QWidget(parent, Qt::Window), m_database(database),
      m_presenter(std::make_unique<WindowPreviewPresenter>()), m_clock(std::make_shared<Clock>()),
      m_chooseExportPath(chooseExportPathWithDialog) {
    setObjectName(QStringLiteral("historyWindow"));
    setWindowTitle(QStringLiteral("Historique"));
    m_model = new HistoryModel(database, this);
    buildControls();
    followZoom(this);
    connect(&ViewSettings::instance(), &ViewSettings::themeChanged, this,
            &HistoryWindow::showCurrent);
    // Échap and Ctrl+W close the window, wherever the focus is in it.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
    resize(900, 600);
    restoreGeometry(QSettings().value(sizeKey).toByteArray());
    guarded([this] { m_model->setFilter({}); });
    updateActions();
}

HistoryWindow::~HistoryWindow() {
    // Also when the program ends with the window open.
    QSettings().setValue(sizeKey, saveGeometry());
}

void HistoryWindow::buildControls() {
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("kindFilter"));
    m_kind->addItem(QStringLiteral("Tous les genres"), QString());
    for (const HistorySource& source : historySources())
        if (source.hasFixedKind())
            m_kind->addItem(historyKindLabel(source.kind), source.kind);
    // As wide as the built-in kinds need: long names of generators show in the drop-down list
    // rather than widening the window.
    m_kind->setMinimumWidth(m_kind->sizeHint().width());
    m_kind->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    fillKinds();

    m_printed = new QComboBox(this);
    m_printed->setObjectName(QStringLiteral("printedFilter"));
    m_printed->addItem(QStringLiteral("Imprimés ou non"), int(PrintedFilter::All));
    m_printed->addItem(QStringLiteral("Imprimés"), int(PrintedFilter::Printed));
    m_printed->addItem(QStringLiteral("Non imprimés"), int(PrintedFilter::Unprinted));

    const QDate today = QDate::currentDate();
    m_useSince = new QCheckBox(QStringLiteral("Du"), this);
    m_useSince->setObjectName(QStringLiteral("useSince"));
    m_since = new QDateEdit(today.addDays(-7), this);
    m_since->setObjectName(QStringLiteral("since"));
    m_useUntil = new QCheckBox(QStringLiteral("au"), this);
    m_useUntil->setObjectName(QStringLiteral("useUntil"));
    m_until = new QDateEdit(today, this);
    m_until->setObjectName(QStringLiteral("until"));
    for (QDateEdit* edit : {m_since, m_until}) {
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
    }

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(QStringLiteral("Rechercher des mots…"));
    m_search->setClearButtonEnabled(true);
    m_searchDelay = new QTimer(this);
    m_searchDelay->setSingleShot(true);
    m_searchDelay->setInterval(searchDelayMs);

    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("historyList"));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setWordWrap(false);

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("historyText"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_monospace = new QCheckBox(QStringLiteral("Chasse fixe pour les villages"), this);
    m_monospace->setObjectName(QStringLiteral("monospace"));
    m_monospace->setChecked(true);

    const auto button = [this](const QString& caption, const char* name) {
        auto* created = new QPushButton(caption, this);
        created->setObjectName(QString::fromLatin1(name));
        return created;
    };
    m_copy = button(QStringLiteral("Copier"), "copy");
    m_export = button(QStringLiteral("Exporter…"), "export");
    m_print = button(QStringLiteral("Imprimer…"), "print");
    m_unprint = button(QStringLiteral("Marquer comme non imprimé"), "unprint");
    m_delete = button(QStringLiteral("Supprimer"), "delete");
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));

    auto* filters = new QHBoxLayout;
    filters->addWidget(m_kind);
    filters->addWidget(m_printed);
    filters->addWidget(m_useSince);
    filters->addWidget(m_since);
    filters->addWidget(m_useUntil);
    filters->addWidget(m_until);
    filters->addWidget(m_search, 1);

    auto* textPart = new QWidget(this);
    auto* textLayout = new QVBoxLayout(textPart);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textLayout->addWidget(m_text, 1);
    textLayout->addWidget(m_monospace);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_list);
    splitter->addWidget(textPart);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);

    auto* actions = new QHBoxLayout;
    for (QPushButton* action : {m_copy, m_export, m_print, m_unprint, m_delete})
        actions->addWidget(action);
    actions->addStretch(1);
    actions->addWidget(m_status);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(splitter, 1);
    layout->addLayout(actions);

    for (QComboBox* box : {m_kind, m_printed})
        connect(box, &QComboBox::currentIndexChanged, this, &HistoryWindow::applyFilter);
    connect(m_useSince, &QCheckBox::toggled, m_since, &QWidget::setEnabled);
    connect(m_useUntil, &QCheckBox::toggled, m_until, &QWidget::setEnabled);
    for (QCheckBox* box : {m_useSince, m_useUntil})
        connect(box, &QCheckBox::toggled, this, &HistoryWindow::applyFilter);
    for (QDateEdit* edit : {m_since, m_until})
        connect(edit, &QDateEdit::dateChanged, this, [this, edit] {
            if (edit->isEnabled())
                applyFilter();
        });
    connect(m_search, &QLineEdit::textChanged, m_searchDelay, qOverload<>(&QTimer::start));
    connect(m_searchDelay, &QTimer::timeout, this, &HistoryWindow::applyFilter);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        m_status->clear();
        showCurrent();
        updateActions();
    });
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &HistoryWindow::showCurrent);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        showCurrent();
        updateActions();
    });
    connect(m_monospace, &QCheckBox::toggled, this, &HistoryWindow::showCurrent);
    connect(m_copy, &QPushButton::clicked, this, &HistoryWindow::copySelected);
    connect(m_export, &QPushButton::clicked, this, &HistoryWindow::exportSelected);
    connect(m_print, &QPushButton::clicked, this, &HistoryWindow::printSelected);
    connect(m_unprint, &QPushButton::clicked, this, &HistoryWindow::unprintSelected);
    connect(m_delete, &QPushButton::clicked, this, &HistoryWindow::deleteSelected);
}

void HistoryWindow::fillKinds() {
    QVector<QPair<QString, QString>> kinds;
    guarded([&] { kinds = History(m_database).kinds(); });
    const QString chosen = m_kind->currentData().toString();
    const QSignalBlocker quiet(m_kind);
    while (m_kind->count() > 1)
        m_kind->removeItem(1);
    for (const auto& [kind, label] : kinds)
        m_kind->addItem(label, kind);
    // A generator gone meanwhile: its kind stays chosen until another is chosen.
    if (!chosen.isEmpty() && m_kind->findData(chosen) < 0)
        m_kind->addItem(chosen, chosen);
    m_kind->setCurrentIndex(std::max(0, m_kind->findData(chosen)));
}

void HistoryWindow::setPreviewPresenter(std::unique_ptr<PreviewPresenter> presenter) {
    m_presenter = std::move(presenter);
}

void HistoryWindow::setClock(std::shared_ptr<const Clock> clock) {
    m_clock = clock ? std::move(clock) : std::make_shared<Clock>();
}

void HistoryWindow::applyFilter() {
    m_searchDelay->stop();
    HistoryFilter filter;
    filter.kind = m_kind->currentData().toString();
    filter.printed = PrintedFilter(m_printed->currentData().toInt());
    if (m_useSince->isChecked())
        filter.since = m_since->date();
    if (m_useUntil->isChecked())
        filter.until = m_until->date();
    filter.words = m_search->text();
    guarded([&] { m_model->setFilter(filter); });
    // A search that finds one text shows it at once.
    if (!filter.words.trimmed().isEmpty() && m_model->rowCount() == 1 && !m_model->canFetchMore({}))
        selectRows({0});
}

void HistoryWindow::reload() {
    fillKinds();
    const QVector<HistoryKey> kept = selectedKeys();
    guarded([this] { m_model->reload(); });
    QList<int> rows;
    for (const HistoryKey& key : kept)
        if (const int row = m_model->rowOf(key); row >= 0)
            rows.append(row);
    selectRows(rows);
}

QVector<HistoryKey> HistoryWindow::selectedKeys() const {
    QVector<HistoryKey> keys;
    for (const HistoryEntry& entry : selectedEntries())
        keys.append(entry.key);
    return keys;
}

QVector<HistoryEntry> HistoryWindow::selectedEntries() const {
    QModelIndexList rows = m_list->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QVector<HistoryEntry> entries;
    for (const QModelIndex& row : rows)
        entries.append(m_model->entry(row.row()));
    return entries;
}

void HistoryWindow::selectRows(const QList<int>& rows) {
    QItemSelection selection;
    for (int row : rows)
        selection.select(m_model->index(row, 0),
                         m_model->index(row, HistoryModel::ColumnCount - 1));
    m_list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty())
        m_list->selectionModel()->setCurrentIndex(m_model->index(rows.first(), 0),
                                                  QItemSelectionModel::NoUpdate);
}

void HistoryWindow::showCurrent() {
    const QVector<HistoryEntry> chosen = selectedEntries();
    m_text->clear();
    m_monospace->setEnabled(false);
    if (chosen.size() != 1)
        return;
    guarded([&] {
        const auto entry = m_model->history().entry(chosen.first().key);
        if (!entry)
            return;
        const bool village = entry->key.kind == QLatin1String("village");
        m_monospace->setEnabled(village);
        m_text->setFont(village && m_monospace->isChecked()
                            ? zoomedFont(QFontDatabase::systemFont(QFontDatabase::FixedFont))
                            : font());
        m_text->setPlainText(textLines(entry->text).join(QLatin1Char('\n')));

        // The words of the search, highlighted where the search finds them.
        QList<QTextEdit::ExtraSelection> highlights;
        const QString shown = m_text->toPlainText();
        QTextCharFormat format;
        format.setBackground(ViewSettings::instance().highlightBackground());
        format.setForeground(ViewSettings::instance().highlightText());
        for (const auto& [start, length] :
             wordMatches(shown, searchWords(m_model->filter().words))) {
            QTextEdit::ExtraSelection highlight;
            highlight.cursor = QTextCursor(m_text->document());
            highlight.cursor.setPosition(start);
            highlight.cursor.setPosition(start + length, QTextCursor::KeepAnchor);
            highlight.format = format;
            highlights.append(highlight);
        }
        m_text->setExtraSelections(highlights);
    });
}

void HistoryWindow::updateActions() {
    const bool any = m_list->selectionModel()->hasSelection();
    for (QPushButton* action : {m_copy, m_export, m_print, m_unprint, m_delete})
        action->setEnabled(any);
}

void HistoryWindow::copySelected() {
    guarded([this] {
        const auto entries = m_model->history().entries(selectedKeys());
        if (entries.isEmpty())
            return;
        QGuiApplication::clipboard()->setText(exportEntries(entries, ExportFormat::Text));
        m_status->setText(QStringLiteral("Copié"));
    });
}

void HistoryWindow::exportSelected() {
    guarded([this] {
        const QVector<HistoryKey> keys = selectedKeys();
        if (keys.isEmpty())
            return;
        const QString path = m_chooseExportPath(this);
        if (path.isEmpty())
            return;
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == QLatin1String("pdf")) {
            ensureReportFonts();
            const QString problem = writeReportsPdf(
                m_database, historyReports(m_model->history(), keys, m_clock->now()), path);
            if (!problem.isEmpty())
                showMessage(problem);
            return;
        }
        const auto format = exportFormatFromName(suffix);
        if (!format) {
            showMessage(QStringLiteral("Choisissez un fichier .txt, .md, .json ou .pdf."));
            return;
        }
        const auto entries = m_model->history().entries(keys);
        const QString problem = writeExportFile(m_database, exportEntries(entries, *format), path);
        if (!problem.isEmpty())
            showMessage(problem);
    });
}

void HistoryWindow::printSelected() {
    bool stamped = false;
    guarded([&] {
        const auto entries = m_model->history().entries(selectedKeys());
        if (entries.isEmpty())
            return;
        ensureReportFonts();
        // The report of each kind, with the preview of the print runs; a completed job stamps the
        // records of that report that had no print date.
        for (const ReportDocument& report : historyReports(entries, m_clock->now())) {
            QVector<HistoryKey> printed;
            for (const ReportRow& row : report.rows())
                printed.append({historyKindOfReport(report.definition()), row.rowid});
            m_presenter->present(report, this, [&, printed] {
                guarded([&] {
                    m_model->history().stampUnprinted(printed, m_clock->now().date());
                    stamped = true;
                });
            });
        }
    });
    if (stamped)
        afterChange();
}

void HistoryWindow::unprintSelected() {
    bool changed = false;
    guarded([&] { changed = m_model->history().unprint(selectedKeys()) > 0; });
    if (changed)
        afterChange();
}

void HistoryWindow::deleteSelected() {
    const QVector<HistoryKey> keys = selectedKeys();
    if (keys.isEmpty() ||
        !askConfirmation(QStringLiteral("Supprimer %1 ? Cette suppression est définitive.")
                             .arg(countText(keys.size()))))
        return;
    bool removed = false;
    guarded([&] { removed = m_model->history().remove(keys) > 0; });
    if (removed)
        afterChange();
}

void HistoryWindow::afterChange() {
    reload();
    Q_EMIT recordsChanged();
}

void HistoryWindow::closeEvent(QCloseEvent* event) {
    QSettings().setValue(sizeKey, saveGeometry());
    QWidget::closeEvent(event);
}

void HistoryWindow::changeEvent(QEvent* event) {
    // Back in the window: what the main screen or the tool wrote meanwhile shows. Once the
    // connection is lost, the message of its loss, closed, would bring the window back here.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() &&
        !m_database.connectionLost())
        reload();
    QWidget::changeEvent(event);
}

HistoryWindow* openHistoryWindow(TovMainPerso& screen) {
    Database* database = screen.database();
    if (!database)
        return nullptr;
    auto* window = screen.findChild<HistoryWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new HistoryWindow(*database, &screen);
        QObject::connect(window, &HistoryWindow::recordsChanged, &screen,
                         &TovMainPerso::refreshRecords);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void showLastText(TovMainPerso& screen) {
    guarded([&] {
        Database* database = screen.database();
        if (!database)
            return;
        const History history(*database);
        const auto latest = history.latest();
        const auto entry = latest ? history.entry(*latest) : std::nullopt;
        if (!entry) {
            showMessage(QStringLiteral("Aucun texte n'a encore été généré."));
            return;
        }
        screen.showText(textLines(entry->text));
    });
}

} // namespace ov::ui
