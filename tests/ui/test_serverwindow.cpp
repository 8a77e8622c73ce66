// The window on a base of the test run's PostgreSQL server, as on a file: opened from the menu's
// form, the grids showing the tables in their order, a bad weight refused and a good one posted
// with its table's total, a character generated and stored.

#include "pgserver.h"
#include "screenfixture.h"
#include "tables/database.h"
#include "tables/outputs.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QPushButton>
#include <QTableView>
#include <memory>

using namespace ov;
using namespace Qt::StringLiterals;

namespace {

int columnOf(const QAbstractItemModel* model, const QString& header) {
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == header)
            return c;
    return -1;
}

QStringList firstValues(const QTableView* grid, const QString& header, int count) {
    QStringList values;
    const int c = columnOf(grid->model(), header);
    for (int row = 0; row < count && c >= 0 && row < grid->model()->rowCount(); ++row)
        values << grid->model()->index(row, c).data().toString();
    return values;
}

} // namespace

class TestServerWindow : public QObject, ovtest::MessageFixture {
    Q_OBJECT
    std::unique_ptr<ovtest::TestServer> m_server;
    QString m_base;

private Q_SLOTS:
    void initTestCase() {
        recordMessages();
        const QString address = ovtest::testServerAddress();
        if (address.isEmpty())
            QFAIL("Pas de serveur PostgreSQL de test : OV_TEST_PG est vide ou son fichier url"
                  " manque (tests/pgcluster.sh start).");
        m_server = std::make_unique<ovtest::TestServer>(address);
        QVERIFY(m_server->isOpen());
        m_base = m_server->newBase(u"ov_window"_s);
    }
    void cleanupTestCase() { m_server.reset(); }
    void init() { clearMessages(); }

    void theWindowWorksTheSameOnBothEngines_data() {
        QTest::addColumn<bool>("onServer");
        QTest::newRow("fichier") << false;
        QTest::newRow("serveur") << true;
    }
    void theWindowWorksTheSameOnBothEngines() {
        QFETCH(bool, onServer);
        ovtest::TempDatabase start;
        ovtest::TempDatabase other;
        const QString target = onServer ? m_base : other.path;
        ui::MainWindow window(start.path);
        window.show();
        if (onServer) {
            ui::setNextServerBase([&](const QString&) { return target; });
            window.findChild<QAction*>(u"actOuvrirServeur"_s)->trigger();
        } else {
            ui::setNextFileChoice([&](const QString&) { return target; });
            window.findChild<QAction*>(u"actOuvrirBase"_s)->trigger();
        }
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
        QVERIFY(window.windowTitle().endsWith(u" - "_s + target));
        QCOMPARE(resolveAlias(u"OV"_s), target);

        const auto* tables = window.findChild<QTableView*>(u"dbgMaster"_s);
        auto* elements = window.findChild<QTableView*>(u"dbgSlave"_s);
        QCOMPARE(firstValues(tables, u"Id"_s, 2), (QStringList{u"age"_s, u"arco"_s}));
        QCOMPARE(firstValues(elements, u"Element"_s, 2), (QStringList{u"14"_s, u"16"_s}));

        const Database store(target);
        const auto total = [&] {
            return store.scalar(u"SELECT TotProba FROM OVmaster WHERE Id = 'age'"_s).toInt();
        };
        const int before = total();
        QAbstractItemModel* model = elements->model();
        const QModelIndex weight = model->index(0, columnOf(model, u"Proba"_s));
        const int old = weight.data().toInt();
        QVERIFY(!model->setData(weight, u"-3"_s));
        QCOMPARE(messages, QStringList{u"Probabilité incorrecte !"_s});
        QVERIFY(model->setData(weight, u"%1"_s.arg(old + 5)));
        QVERIFY(model->submit());
        QCOMPARE(total(), before + 5);

        window.findChild<QPushButton*>(u"btnPerso"_s)->click();
        QCOMPARE(recordCount(store, OutputKind::Perso), 1);
        QCOMPARE(messages.size(), 1);
    }

    // The server closes the window's connection: a generation says so in French, stores
    // nothing, and the window stays up.
    void aLostConnectionIsToldAndTheWindowStays() {
        ovtest::TempDatabase start;
        ui::MainWindow window(start.path);
        window.show();
        ui::setNextServerBase([&](const QString&) { return m_base; });
        window.findChild<QAction*>(u"actOuvrirServeur"_s)->trigger();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
        const int before = recordCount(Database(m_base), OutputKind::Perso);
        QVERIFY(m_server->cutConnections(u"ov_window"_s) > 0);
        window.findChild<QPushButton*>(u"btnPerso"_s)->click();
        QVERIFY(!messages.isEmpty());
        QVERIFY2(messages.first().contains(u"La connexion au serveur de la base"_s),
                 qPrintable(messages.join(u'\n')));
        QVERIFY(window.isVisible());
        QCOMPARE(recordCount(Database(m_base), OutputKind::Perso), before);
    }
};

QTEST_MAIN(TestServerWindow)
#include "test_serverwindow.moc"
