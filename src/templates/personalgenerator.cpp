#include "personalgenerator.h"

#include "expander.h"
#include "tables/database.h"
#include "tables/errors.h"
#include "tables/historyindex.h"
#include "tables/outputs.h"

#include <QJsonArray>

namespace ov {

namespace {

PersonalGenerator fromQuery(const QSqlQuery& query) {
    return {
        query.value(0).toString(),   query.value(1).toString(),
        query.value(2).toString(),   QDateTime::fromString(query.value(3).toString(), Qt::ISODate),
        query.value(4).toInt() != 0, query.value(5).toInt()};
}

} // namespace

QVariant shortcutValue(const PersonalGenerator& generator) {
    return generator.raccourci > 0 ? QVariant(generator.raccourci) : QVariant();
}

GeneratorCheck checkGenerator(const Database& database, const PersonalGenerator& generator) {
    GeneratorCheck check;
    Template parsed;
    check.error = Template::parse(generator.modele, parsed);
    if (check.error)
        return check;
    for (const QString& table : parsed.tables()) {
        const QVariant count = database.scalar(
            QStringLiteral("SELECT NbrElement FROM OVmaster WHERE Id = ?"), {table});
        if (!count.isValid())
            check.warnings.append(QStringLiteral("Pas de table \"") + table + QLatin1Char('"'));
        else if (count.toDouble() < 0.5)
            check.warnings.append(QStringLiteral("Aucun élément dans la table \"") + table +
                                  QLatin1Char('"'));
    }
    return check;
}

QList<int> shortcutNumbers(const QList<PersonalGenerator>& menuOrder) {
    constexpr int keys = 9;
    QList<int> numbers(menuOrder.size(), 0);
    bool taken[keys + 1] = {};
    for (int i = 0; i < menuOrder.size(); ++i) {
        const int pinned = menuOrder.at(i).raccourci;
        if (pinned >= 1 && pinned <= keys && !taken[pinned]) {
            numbers[i] = pinned;
            taken[pinned] = true;
        }
    }
    int next = 1;
    for (int i = 0; i < menuOrder.size(); ++i) {
        if (numbers.at(i) != 0)
            continue;
        while (next <= keys && taken[next])
            ++next;
        if (next > keys)
            break;
        numbers[i] = next;
        taken[next] = true;
    }
    return numbers;
}

void requireDistinctShortcuts(const QList<PersonalGenerator>& stored,
                              const QList<PersonalGenerator>& incoming,
                              const QString& renamedFrom) {
    const auto same = [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    };
    QList<PersonalGenerator> after;
    for (const PersonalGenerator& generator : stored) {
        bool replaced = !renamedFrom.isEmpty() && same(generator.id, renamedFrom);
        for (const PersonalGenerator& other : incoming)
            replaced = replaced || same(generator.id, other.id);
        if (!replaced)
            after.append(generator);
    }
    for (const PersonalGenerator& generator : incoming) {
        if (generator.raccourci < 0 || generator.raccourci > 9)
            throw Error(QStringLiteral("Générateur « %1 » : le raccourci doit être un numéro de 1"
                                       " à 9 (0 : aucun), pas %2")
                            .arg(generator.id)
                            .arg(generator.raccourci));
        if (generator.raccourci != 0)
            for (const PersonalGenerator& holder : after)
                if (holder.raccourci == generator.raccourci)
                    throw Error(QStringLiteral("Le raccourci Ctrl+%1 est déjà celui du générateur"
                                               " « %2 » : le générateur « %3 » n'est pas"
                                               " enregistré. Choisissez un autre numéro, ou"
                                               " aucun.")
                                    .arg(generator.raccourci)
                                    .arg(holder.id, generator.id));
        after.append(generator);
    }
}

GeneratorStore::GeneratorStore(const Database& database) : m_database(database) {
    m_database.requireTable(QStringLiteral("OVgenerateur"));
    m_database.requireTable(QStringLiteral("OVresultat"));
}

QList<PersonalGenerator> GeneratorStore::list() const {
    QList<PersonalGenerator> generators;
    QSqlQuery query = m_database.run(
        QStringLiteral("SELECT Id, Nom, Modele, DateModif, Francais, Raccourci FROM OVgenerateur"
                       " ORDER BY lower(Id)"));
    while (query.next())
        generators.append(fromQuery(query));
    return generators;
}

std::optional<PersonalGenerator> GeneratorStore::find(const QString& id) const {
    // Compared here rather than by the engine, whose case folding knows only ASCII letters.
    for (const PersonalGenerator& generator : list())
        if (generator.id.compare(id, Qt::CaseInsensitive) == 0)
            return generator;
    return std::nullopt;
}

void GeneratorStore::save(const QList<PersonalGenerator>& generators, bool replace) const {
    // Everything is checked before anything is written.
    QStringList seen;
    for (const PersonalGenerator& generator : generators) {
        if (auto problem = idProblem(generator.id))
            throw Error(*problem);
        if (auto problem = nomProblem(generator.nom))
            throw Error(*problem);
        Template parsed;
        if (auto error = Template::parse(generator.modele, parsed))
            throw Error(error->inGenerator(generator.id));
        for (const QString& other : seen)
            if (other.compare(generator.id, Qt::CaseInsensitive) == 0)
                throw Error(QStringLiteral("L'Id « %1 » est donné deux fois").arg(generator.id));
        seen.append(generator.id);
    }
    const QString now = QDateTime::currentDateTime().toString(Qt::ISODate);
    m_database.transaction([&] {
        requireDistinctShortcuts(list(), generators);
        for (const PersonalGenerator& generator : generators) {
            // An empty template is stored as an empty text, never as a null.
            const QString modele =
                generator.modele.isNull() ? QStringLiteral("") : generator.modele;
            const auto existing = find(generator.id);
            if (existing && !replace)
                throw Error(QStringLiteral("Le générateur « %1 » existe déjà").arg(existing->id));
            if (existing)
                m_database.run(QStringLiteral("UPDATE OVgenerateur SET Nom = ?, Modele = ?,"
                                              " DateModif = ?, Francais = ?, Raccourci = ?"
                                              " WHERE Id = ?"),
                               {generator.nom, modele, now, int(generator.francais),
                                shortcutValue(generator), existing->id});
            else
                m_database.run(QStringLiteral("INSERT INTO OVgenerateur (Id, Nom, Modele,"
                                              " DateModif, Francais, Raccourci)"
                                              " VALUES (?, ?, ?, ?, ?, ?)"),
                               {generator.id, generator.nom, modele, now, int(generator.francais),
                                shortcutValue(generator)});
        }
    });
}

int GeneratorStore::remove(const QString& id) const {
    int removed = 0;
    m_database.transaction([&] {
        const auto existing = find(id);
        if (!existing)
            throw Error(QStringLiteral("Pas de générateur « %1 »").arg(id));
        removed = resultCount(existing->id);
        m_database.run(QStringLiteral("DELETE FROM OVresultat WHERE Generateur = ?"),
                       {existing->id});
        m_database.run(QStringLiteral("DELETE FROM OVgenerateur WHERE Id = ?"), {existing->id});
    });
    return removed;
}

int GeneratorStore::nextResultNumber(const QString& id) const {
    return recordNumber(m_database, {QStringLiteral("OVresultat"), id});
}

int GeneratorStore::resultCount(const QString& id) const {
    return m_database
        .scalar(QStringLiteral("SELECT count(*) FROM OVresultat WHERE Generateur = ?"), {id})
        .toInt();
}

QString resultHeader(const PersonalGenerator& generator, int n, const QString& dateText) {
    return generator.nom + QStringLiteral(" - ") + QString::number(n) + QStringLiteral(" - ") +
           dateText;
}

int GeneratorStore::storeResult(const PersonalGenerator& generator, const QString& dateText,
                                const QStringList& body, const QDateTime& created) const {
    QString rest = QStringLiteral("\r\n");
    for (const QString& line : body)
        rest += line + QStringLiteral("\r\n");
    // Numbered and stored in one write transaction, under the store's write lock, so that n is
    // never shared.
    int n = 0;
    bool behind = false;
    m_database.transaction([&] {
        // The generator is looked for under the same write lock as its deletion takes: a result
        // is stored while its generator exists, or not at all.
        if (!m_database
                 .scalar(QStringLiteral("SELECT count(*) FROM OVgenerateur WHERE Id = ?"),
                         {generator.id})
                 .toInt())
            throw Error(goneGeneratorMessage(generator.id));
        n = recordNumber(m_database, {QStringLiteral("OVresultat"), generator.id});
        m_database.execute(QStringLiteral("INSERT INTO OVresultat (Generateur, Id, Texte,"
                                          " DateCreation, DateImprime) VALUES (?, ?, ?, ?, NULL)"),
                           {generator.id, n, QString(resultHeader(generator, n, dateText) + rest),
                            created.toString(Qt::ISODate)});
        behind = historyWordsFallBehind(m_database);
    });
    if (behind)
        catchUpHistoryWords(m_database);
    return n;
}

QString goneGeneratorMessage(const QString& id) {
    return QStringLiteral("Le générateur « %1 » n'existe plus (supprimé ou renommé pendant la"
                          " génération) : ce texte n'a pas été enregistré")
        .arg(id);
}

QString overflowText() {
    return QStringLiteral("dépassement de capacité dans une expression");
}

QJsonObject runJson(const PersonalRunReport& report) {
    QJsonObject object;
    object.insert(QStringLiteral("kind"), report.generator);
    // A run that failed before its record was stored has no number to show.
    if (!report.error || report.stored)
        object.insert(QStringLiteral("id"), report.id);
    object.insert(QStringLiteral("lines"), QJsonArray::fromStringList(report.lines));
    object.insert(QStringLiteral("messages"), QJsonArray::fromStringList(report.messages));
    if (report.error)
        object.insert(QStringLiteral("error"), *report.error);
    return object;
}

QString sizeExceededMessage(const QString& id) {
    return QStringLiteral("Le générateur \"") + id + QStringLiteral("\" dépasse la taille permise");
}

PersonalRunReport PersonalRun::run(const PersonalGenerator& generator, bool store) {
    PersonalRunReport report;
    report.generator = generator.id;
    RecordingRelay relay(m_messages);
    auto fail = [&](const QString& message) {
        report.error = message;
        relay.showMessage(message);
        report.messages = relay.messages;
        return report;
    };
    Template parsed;
    if (auto error = Template::parse(generator.modele, parsed))
        return fail(error->inGenerator(generator.id));
    QStringList body;
    try {
        TableDraws draws(m_draw, relay);
        Expander expander(draws, relay);
        expander.setFrench(generator.francais);
        body = expander.expand(parsed);
    } catch (const SizeExceeded&) {
        return fail(sizeExceededMessage(generator.id));
    } catch (const ArithmeticOverflow& overflow) {
        return fail(QStringLiteral("Générateur « %1 », ligne %2 : %3")
                        .arg(generator.id)
                        .arg(overflow.line)
                        .arg(overflowText()));
    }
    const QDateTime now = m_clock.now();
    const QString dateText = shortDate(now.date());
    try {
        GeneratorStore results(m_database);
        if (store) {
            report.id = results.storeResult(generator, dateText, body, now);
            report.stored = true;
        } else {
            report.id = results.nextResultNumber(generator.id);
        }
    } catch (const Error& error) {
        return fail(error.message());
    }
    report.lines = QStringList{resultHeader(generator, report.id, dateText)} + body;
    report.messages = relay.messages;
    return report;
}

std::optional<QString> PersonalRun::expandDraw(const QString& table) {
    TableDraws draws(m_draw, m_messages);
    Expander expander(draws, m_messages);
    try {
        return expander.expandDraw(table);
    } catch (const SizeExceeded&) {
        m_messages.showMessage(QStringLiteral("Le tirage sur la table \"") + table +
                               QStringLiteral("\" dépasse la taille permise"));
        return std::nullopt;
    } catch (const ArithmeticOverflow&) {
        m_messages.showMessage(QStringLiteral("Le tirage sur la table \"") + table +
                               QStringLiteral("\" : ") + overflowText());
        return std::nullopt;
    }
}

} // namespace ov
