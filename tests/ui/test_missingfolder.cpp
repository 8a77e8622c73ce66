// The alias file names a database whose folder is missing (a removable disk not plugged in):
// nothing is created unasked; the window lets the user choose, the tool stops and names the path.

#include "clirunner.h"
#include "screenfixture.h"
#include "tables/database.h"

#include <QDir>
#include <QSettings>
#include <QTest>

using namespace ov;
using namespace Qt::StringLiterals;

class TestMissingFolder : public QObject, ovtest::MessageFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { recordMessages(); }
    void init() { clearMessages(); }
    void cleanup() { QFile::remove(aliasFilePath()); }

    void nothingIsCreatedUnasked_data() {
        QTest::addColumn<int>("answer");     // 0 another file, 1 a new base there, 2 quit
        QTest::addColumn<QString>("opened"); // "other", "alias" or nothing
        QTest::newRow("une autre base") << 0 << u"other"_s;
        QTest::newRow("une nouvelle base à cet endroit") << 1 << u"alias"_s;
        QTest::newRow("quitter") << 2 << QString();
    }
    void nothingIsCreatedUnasked() {
        QFETCH(int, answer);
        QFETCH(QString, opened);
        QTemporaryDir dir;
        const QString missing = dir.filePath(u"clé/orvanthe.db"_s);
        {
            QSettings alias(aliasFilePath(), QSettings::IniFormat);
            alias.setValue(u"OV"_s, missing);
        }
        // The tool names the path and creates nothing.
        const ovtest::ToolResult result = ovtest::tool({u"generate"_s, u"perso"_s});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(QDir::toNativeSeparators(missing)), qPrintable(result.err));
        QVERIFY(!QFileInfo::exists(dir.filePath(u"clé"_s)));

        ovtest::TempDatabase other;
        QString asked;
        ui::setNextChoice([&](const QString& text, const QStringList& answers) {
            asked = text;
            return answers.size() == 3 ? answer : -1;
        });
        ui::setNextDatabaseFile([&](const QString&) { return other.path; });
        ui::TovMainPerso screen;
        QVERIFY(asked.contains(QDir::toNativeSeparators(missing)));
        if (opened.isEmpty()) {
            QVERIFY(screen.database() == nullptr);
            QVERIFY(!QFileInfo::exists(dir.filePath(u"clé"_s)));
        } else {
            QVERIFY(screen.database() != nullptr);
            QCOMPARE(screen.database()->path(), opened == u"other"_s ? other.path : missing);
            QCOMPARE(QFileInfo::exists(missing), opened == u"alias"_s);
        }
        QCOMPARE(messages, QStringList());
    }
};

QTEST_MAIN(TestMissingFolder)
#include "test_missingfolder.moc"
