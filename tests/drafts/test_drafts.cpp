// Drafts on the starter set: a re-rolled line leaves the others alone unless they use what it
// sets, locks hold, a seed gives the same texts again, and keeping stores once, under two writers.

#include "drafts/draft.h"
#include "generators/generators.h"
#include "tables/database.h"
#include "tables/errors.h"
#include "templates/personalgeneration.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QTest>

using namespace ov;

namespace {

const FixedClock atNine(QDateTime(QDate(2026, 12, 10), QTime(21, 0)));

int stored(const Database& db, const QString& table) {
    return db.scalar(QStringLiteral("SELECT count(*) FROM ") + table).toInt();
}

// The template lines that give body lines, as written.
QStringList bodyTemplate(const PersonalGenerator& generator) {
    QStringList lines;
    for (const QString& line : Template::splitLines(generator.modele))
        if (!line.trimmed().startsWith(QLatin1Char('#')))
            lines.append(line);
    return lines;
}

// A name remembered with « = » in a template line.
QStringList namesSetIn(const QString& line) {
    static const QRegularExpression set(QStringLiteral("[\\[{]\\s*(\\w+)\\s*="));
    QStringList names;
    for (auto it = set.globalMatch(line); it.hasNext();)
        names.append(it.next().captured(1));
    return names;
}

} // namespace

class TestDrafts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        ovtest::isolateUserFolders();
        store = std::make_unique<ovtest::TempDatabase>();
        generators = GeneratorStore(*store->db).list();
        QVERIFY(generators.size() >= 10);
    }

    void rerollingALineLeavesTheIndependentOnes_data() {
        QTest::addColumn<int>("generator");
        QTest::addColumn<int>("line");
        for (int g = 0; g < generators.size(); ++g)
            for (int k = 1; k <= bodyTemplate(generators[g]).size(); ++k)
                QTest::addRow("%s:%d", qPrintable(generators[g].id), k) << g << k;
    }
    void rerollingALineLeavesTheIndependentOnes() {
        QFETCH(int, generator);
        QFETCH(int, line);
        const QStringList source = bodyTemplate(generators[generator]);
        Draft draft(*store->db, atNine, generators[generator], 1000u + quint32(line));
        QSet<QString> changing; // what line and the lines after it may set
        for (int j = line; j <= source.size(); ++j)
            for (const QString& name : namesSetIn(source[j - 1]))
                changing.insert(name);
        for (int round = 0; round < 5; ++round) {
            const QStringList before = draft.lines();
            draft.reroll(line);
            QCOMPARE(draft.lines().size(), before.size());
            for (int j = 0; j < line; ++j)
                QCOMPARE(draft.lines()[j], before[j]);
            for (int j = line + 1; j < before.size(); ++j) {
                bool mayDepend = false;
                for (const QString& name : std::as_const(changing))
                    mayDepend |= source[j - 1].contains(name);
                if (!mayDepend)
                    QCOMPARE(draft.lines()[j], before[j]);
            }
        }
    }

    // The merchant's name on line 1 is said again on line 5: re-rolling line 1 changes both,
    // unless line 5 is locked.
    void aLineThatUsesAValueFollowsIt() {
        Draft draft(*store->db, atNine,
                    *GeneratorStore(*store->db).find(QStringLiteral("marchand")), 7u);
        const auto agree = [&] {
            const QString said = draft.lines()[5].section(QStringLiteral("c'est "), 1);
            return draft.lines()[1]
                .section(QStringLiteral(" : "), 1)
                .startsWith(said.section(QStringLiteral(" qui vous"), 0, 0));
        };
        QSet<QString> sayings;
        for (int i = 0; i < 6; ++i) {
            draft.reroll(1);
            QVERIFY2(agree(), qPrintable(draft.lines().join(u'\n')));
            sayings.insert(draft.lines()[5]);
        }
        QVERIFY(sayings.size() > 1);
        draft.setLocked(5, true);
        const QString locked = draft.lines()[5];
        for (int i = 0; i < 4; ++i) {
            draft.reroll(1);
            draft.rerollAll();
        }
        QCOMPARE(draft.lines()[5], locked);
        QVERIFY_THROWS_EXCEPTION(Error, draft.reroll(5));
    }

    // From a seed, the first texts are a run's, and the same operations give the same texts; a
    // locked line survives « Relancer tout »; a built-in generator has no lock and is re-rolled
    // whole, its header kept; nothing is stored.
    void aSeedGivesTheSameTextsAgain() {
        const int before = stored(*store->db, QStringLiteral("OVresultat"));
        for (const PersonalGenerator& generator : std::as_const(generators)) {
            QList<QStringList> seen[2];
            for (auto& texts : seen) {
                Draft draft(*store->db, atNine, generator, 2026u);
                texts.append(draft.lines());
                draft.reroll(int(draft.lines().size()) - 1);
                texts.append(draft.lines());
                const QString locked = draft.lines()[1];
                draft.setLocked(1, true);
                draft.rerollAll();
                draft.rerollAll();
                QCOMPARE(draft.lines()[1], locked);
                texts.append(draft.lines());
                draft.reroll(2 < draft.lines().size() ? 2 : 1);
                texts.append(draft.lines());
            }
            QCOMPARE(seen[0], seen[1]);
            QCOMPARE(seen[0].first(), previewGenerator(*store->db, generator, 2026u, atNine).lines);
        }
        for (OutputKind kind : allOutputKinds) {
            QStringList texts[2];
            for (auto& text : texts) {
                Draft draft(*store->db, atNine, kind, 99u);
                const QStringList first = draft.lines();
                QVERIFY_THROWS_EXCEPTION(Error, draft.setLocked(1, true));
                draft.reroll(1);
                draft.rerollAll();
                QCOMPARE(draft.lines()[0], first[0]);
                QVERIFY(draft.lines() != first);
                text = draft.lines();
            }
            QCOMPARE(texts[0], texts[1]);
        }
        QCOMPARE(stored(*store->db, QStringLiteral("OVresultat")), before);
    }

    // Another connection stores a run while the draft is shown: the keep takes the next number,
    // shows it in the header and stores the draft once.
    void keepingStoresOnceUnderTwoWriters_data() {
        QTest::addColumn<QString>("subject");
        QTest::newRow("taverne") << QStringLiteral("taverne");
        QTest::newRow("perso") << QStringLiteral("perso");
    }
    void keepingStoresOnceUnderTwoWriters() {
        QFETCH(QString, subject);
        ovtest::TempDatabase t;
        Database other(t.path);
        const auto kind = outputKindFromName(subject);
        const QString table = kind ? outputTable(*kind).table : QStringLiteral("OVresultat");
        const auto generator = GeneratorStore(*t.db).find(subject);
        std::unique_ptr<Draft> draft = kind
                                           ? std::make_unique<Draft>(*t.db, atNine, *kind, 3u)
                                           : std::make_unique<Draft>(*t.db, atNine, *generator, 3u);
        draft->reroll(1);
        const QStringList body = draft->lines().mid(1);
        QVERIFY(draft->lines()[0].contains(QStringLiteral("0")));

        RandomSource source(11u);
        Dice dice(source);
        TableDraw draw(other, dice);
        RecordingMessageSink messages;
        if (kind) {
            UnprintedCount count(other);
            NoWatcher nobody;
            QVERIFY(Generation(other, count, atNine, draw, messages).run(*kind, nobody).stored);
        } else {
            QVERIFY(PersonalRun(other, atNine, draw, messages).run(*generator).stored);
        }
        QCOMPARE(stored(*t.db, table), 1);

        const KeptDraft kept = draft->keep();
        QCOMPARE(kept.id, 1);
        QCOMPARE(kept.lines.mid(1), body);
        QVERIFY(kept.lines[0].contains(kind ? QStringLiteral("-1- ") : QStringLiteral(" - 1 - ")));
        QVERIFY_THROWS_EXCEPTION(Error, draft->keep());
        QVERIFY_THROWS_EXCEPTION(Error, draft->reroll(1));
        QCOMPARE(stored(*t.db, table), 2);
        const QString text =
            other
                .scalar(
                    QStringLiteral("SELECT %1 FROM %2 WHERE Id = 1")
                        .arg(kind ? outputTable(*kind).textField : QStringLiteral("Texte"), table))
                .toString();
        QCOMPARE(text, kept.lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    }

private:
    std::unique_ptr<ovtest::TempDatabase> store;
    QList<PersonalGenerator> generators;
};

QTEST_GUILESS_MAIN(TestDrafts)
#include "test_drafts.moc"
