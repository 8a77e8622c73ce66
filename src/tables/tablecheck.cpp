#include "tablecheck.h"

#include "database.h"
#include "tablefile.h"
#include "textrules.h"

#include <QHash>
#include <QMap>
#include <QSqlQuery>
#include <cmath>

namespace ov {

namespace {

QString quoted(const QString& text) {
    return QStringLiteral("« ") + text + QStringLiteral(" »");
}

// "le générateur de personnages", "les générateurs de personnages et de rencontres"
QString drawnBy(const QStringList& generators) {
    QStringList parts;
    for (const QString& generator : generators)
        parts.append(QStringLiteral("de ") + generator);
    if (parts.size() == 1)
        return QStringLiteral("le générateur ") + parts.first();
    const QString last = parts.takeLast();
    return QStringLiteral("les générateurs ") + parts.join(QStringLiteral(", ")) +
           QStringLiteral(" et ") + last;
}

struct TableState {
    bool exists = false;
    double storedCount = 0;
    double storedTotal = 0;
    int count = 0;
    double total = 0;
    QStringList texts; // in draw order
    int badWeights = 0;
    QString firstBadWeight;
};

QString elementPrefix(const QString& id, const QString& text) {
    return QStringLiteral("Table %1, élément %2 : ").arg(quoted(id), quoted(text));
}

// A code of `length` characters followed by its text needs a separator that is no letter or digit.
bool separatorMissing(const QString& text, int length) {
    return text.size() > length && text.at(length).isLetterOrNumber();
}

} // namespace

const QVector<GeneratorTable>& generatorTables() {
    static const QVector<GeneratorTable> tables = [] {
        const QString perso = QStringLiteral("personnages");
        const QString tresor = QStringLiteral("trésors");
        const QString rencontre = QStringLiteral("rencontres");
        const QString village = QStringLiteral("villages");
        struct Group {
            QString generator;
            const char* ids;
        };
        const Group groups[] = {
            {perso, "age sexe cel mel rich orig pays lieu terr etci reli carr tail poid chco chlo "
                    "chty yeux pilo pico stat brav disp econ ener honn mate mora perb perc pers "
                    "natu piet tena tenb arje arco tale"},
            {tresor, "tytr trjt trjr trom trac trme traq trpr trvi tror trqt trql tret trcn"},
            {rencontre, "renc rnom rfor rali ratt ract rcon rtai rmet rpos rter reve tytr trvi "
                        "tret rich orig"},
            {village, "vino vico vire viag vica vise virp vifa vifi viva viin viha vich viim "
                      "vilo vihi vifo vipr viel vida viit viri vima virs vime"},
        };
        QVector<GeneratorTable> list;
        QHash<QString, int> index;
        for (const Group& group : groups) {
            const QStringList ids =
                QString::fromLatin1(group.ids).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            for (const QString& id : ids) {
                if (index.contains(id)) {
                    list[index.value(id)].generators.append(group.generator);
                } else {
                    index.insert(id, int(list.size()));
                    list.append(GeneratorTable{id, {group.generator}});
                }
            }
        }
        return list;
    }();
    return tables;
}

const QStringList& encounterCategories() {
    static const QStringList categories{QStringLiteral("rcre"), QStringLiteral("rhum"),
                                        QStringLiteral("rani"), QStringLiteral("rcon"),
                                        QStringLiteral("rmet"), QStringLiteral("rter"),
                                        QStringLiteral("reve"), QStringLiteral("robj")};
    return categories;
}

QVector<CheckFinding> checkTables(const Database& database) {
    QMap<QString, TableState> tables; // by Id, in the order of the Ids
    {
        QSqlQuery master =
            database.run(QStringLiteral("SELECT Id, NbrElement, TotProba FROM OVmaster"));
        while (master.next()) {
            TableState& state = tables[master.value(0).toString()];
            state.exists = true;
            state.storedCount = master.value(1).toDouble();
            state.storedTotal = master.value(2).toDouble();
        }
        QSqlQuery elements =
            database.run(QStringLiteral("SELECT ID, Element, Proba FROM OVslave ORDER BY rowid"));
        while (elements.next()) {
            auto found = tables.find(elements.value(0).toString());
            if (found == tables.end())
                continue;
            ++found->count;
            const QVariant weight = elements.value(2);
            bool number = false;
            const double value = weight.toDouble(&number);
            if (weight.isNull() || !number || !isElementWeight(value)) {
                if (found->badWeights++ == 0)
                    found->firstBadWeight =
                        weight.isNull() ? QStringLiteral("vide") : quoted(weight.toString());
            }
            if (number && std::isfinite(value))
                found->total += value;
            found->texts.append(elements.value(1).toString());
        }
    }
    const auto state = [&](const QString& id) { return tables.value(id); };

    QVector<CheckFinding> findings;
    const auto add = [&](const QString& id, const QString& message) {
        findings.append(CheckFinding{id, message});
    };

    for (const GeneratorTable& table : generatorTables()) {
        const TableState s = state(table.id);
        if (!s.exists)
            add(table.id, QStringLiteral("Table %1 absente (tirée par %2)")
                              .arg(quoted(table.id), drawnBy(table.generators)));
        else if (s.count == 0)
            add(table.id, QStringLiteral("Table %1 vide (tirée par %2)")
                              .arg(quoted(table.id), drawnBy(table.generators)));
    }

    const auto checkFirstCharacter = [&](const QString& id, const QString& allowed,
                                         const QString& rule) {
        for (const QString& text : state(id).texts) {
            if (text.isEmpty() || !allowed.contains(text.at(0)))
                add(id, elementPrefix(id, text) + rule);
        }
    };
    checkFirstCharacter(QStringLiteral("age"), QStringLiteral("1234567"),
                        QStringLiteral("le texte doit commencer par un chiffre de 1 à 7 (nombre "
                                       "de talents)"));
    checkFirstCharacter(QStringLiteral("cel"), QStringLiteral("0137"),
                        QStringLiteral("le texte doit commencer par 0, 1, 3 ou 7 (nombre "
                                       "d'armes)"));

    const QString separatorRule = QStringLiteral("le code doit être suivi d'un séparateur (un "
                                                 "blanc) avant le texte");
    for (const QString& text : state(QStringLiteral("tytr")).texts) {
        const QString id = QStringLiteral("tytr");
        const QString code = text.left(4);
        const TableState sub = state(code);
        if (!sub.exists)
            add(id, elementPrefix(id, text) +
                        QStringLiteral("le code %1 ne désigne aucune table").arg(quoted(code)));
        else if (sub.count == 0)
            add(id, elementPrefix(id, text) +
                        QStringLiteral("le code %1 désigne une table vide").arg(quoted(code)));
        if (separatorMissing(text, 4))
            add(id, elementPrefix(id, text) + separatorRule);
    }

    for (const QString& text : state(QStringLiteral("renc")).texts) {
        const QString id = QStringLiteral("renc");
        const QString code = text.left(4);
        if (!encounterCategories().contains(code))
            add(id, elementPrefix(id, text) +
                        QStringLiteral("le code %1 n'est pas une catégorie (%2)")
                            .arg(quoted(code), encounterCategories().join(QStringLiteral(", "))));
        if (separatorMissing(text, 4))
            add(id, elementPrefix(id, text) + separatorRule);
    }

    for (const QString& text : state(QStringLiteral("trmo")).texts) {
        const QString id = QStringLiteral("trmo");
        const QString number = text.left(3);
        const auto quantity = parseInteger(number);
        if (!quantity)
            add(id, elementPrefix(id, text) +
                        QStringLiteral("les trois premiers caractères %1 ne forment pas un "
                                       "nombre entier (quantité)")
                            .arg(quoted(number)));
        else if (*quantity < 0)
            add(id, elementPrefix(id, text) +
                        QStringLiteral("la quantité %1 est négative").arg(quoted(number)));
        if (separatorMissing(text, 3))
            add(id, elementPrefix(id, text) +
                        QStringLiteral("le nombre doit être suivi d'un séparateur (un blanc) "
                                       "avant le texte"));
    }

    for (auto it = tables.constBegin(); it != tables.constEnd(); ++it) {
        const TableState& s = it.value();
        if (s.badWeights > 0)
            add(it.key(), QStringLiteral("Table %1 : %2 poids hors des règles (le premier : %3) ;"
                                         " un poids est %4")
                              .arg(quoted(it.key()))
                              .arg(s.badWeights)
                              .arg(s.firstBadWeight, elementWeightRule()));
        if (s.count > 0 && s.total <= 0)
            add(it.key(), QStringLiteral("Table %1 : total des poids nul pour %2 élément(s) :"
                                         " aucun ne peut être tiré")
                              .arg(quoted(it.key()))
                              .arg(s.count));
        if (s.storedCount != double(s.count) || std::fabs(s.storedTotal - s.total) > 1e-9)
            add(it.key(),
                QStringLiteral("Table %1 : totaux enregistrés (%2 éléments, total %3) "
                               "différents des éléments (%4 éléments, total %5)")
                    .arg(quoted(it.key()), formatWeight(s.storedCount), formatWeight(s.storedTotal),
                         QString::number(s.count), formatWeight(s.total)));
    }
    return findings;
}

} // namespace ov
