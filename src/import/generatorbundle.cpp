// The bundle's text, version 1 (UTF-8, lines ended by LF; CR LF is read too):
//
//   Paquet Orvanthe: 1
//   Générateur: 4 lignes
//   Id: taverne                  <- the generator's .ovgen file, line by line
//   Nom: La taverne
//   ---
//   Enseigne : « Au [tadj] »
//   Tables: 3 lignes
//   Id,Nom,Element,Proba         <- its tables as our CSV table file, line by line
//   tadj,Adjectifs,Joyeux Cochon,1
//   tadj,Adjectifs,Chat Noir,2
//
// The counts make the sections whatever their lines hold. A later version is refused.

#include "generatorbundle.h"

#include "foreigntables.h"
#include "tables/database.h"
#include "tables/errors.h"
#include "tables/savefile.h"
#include "tables/textrules.h"
#include "templates/generatoredits.h"
#include "templates/personalgenerator.h"
#include "templates/tablereferences.h"
#include "templates/template.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>

namespace ov {

namespace {

const QString bundleKey = QStringLiteral("Paquet Orvanthe");
const QString generatorKey = QStringLiteral("Générateur");
const QString tablesKey = QStringLiteral("Tables");

QString section(const QString& key, const QStringList& lines) {
    return QStringLiteral("%1: %2 lignes\n").arg(key).arg(lines.size()) +
           lines.join(QLatin1Char('\n')) + (lines.isEmpty() ? QString() : QStringLiteral("\n"));
}

QHash<QString, RandomTable> tablesById(const RandomTables& tables) {
    QHash<QString, RandomTable> byId;
    for (const RandomTable& table : tables)
        byId.insert(table.id, table);
    return byId;
}

QStringList textsOf(const RandomTable& table) {
    QStringList texts;
    for (const TableElement& element : table.elements)
        texts.append(element.text);
    return texts;
}

} // namespace

GeneratorBundle bundleOf(const Database& database, const QString& generatorId) {
    const auto generator = GeneratorStore(database).find(generatorId);
    if (!generator)
        throw Error(QStringLiteral("Pas de générateur « %1 »").arg(generatorId));
    Template parsed;
    if (const auto error = Template::parse(generator->modele, parsed))
        throw Error(QStringLiteral("Générateur « %1 » : %2").arg(generator->id, error->message()));
    GeneratorBundle bundle;
    bundle.generator = *generator;
    const QHash<QString, RandomTable> stored = tablesById(loadRandomTables(database));
    QSet<QString> known = rememberedNames(generator->modele);
    QStringList queue = parsed.tables();
    for (int i = 0; i < queue.size(); ++i) {
        const auto found = stored.constFind(queue.at(i));
        if (found == stored.constEnd()) {
            bundle.missing.append(queue.at(i));
            continue;
        }
        bundle.tables.append(*found);
        // The names its texts remember count for the texts read after them.
        known.unite(rememberedNames(QString(), textsOf(*found)));
        for (const QString& text : textsOf(*found))
            for (const QString& table : tablesNamedInText(text, known))
                if (!queue.contains(table))
                    queue.append(table);
    }
    return bundle;
}

QString bundleText(const GeneratorBundle& bundle) {
    return QStringLiteral("%1: %2\n").arg(bundleKey).arg(bundleVersion) +
           section(generatorKey, Template::splitLines(generatorFileText(bundle.generator))) +
           section(tablesKey,
                   Template::splitLines(QString::fromUtf8(formatTableFile(bundle.tables))));
}

GeneratorBundle readBundle(const QString& source) {
    QString text = source;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = Template::splitLines(text);
    int next = 0;
    const auto fail = [](int line, const QString& problem) {
        throw Error(QStringLiteral("ligne %1 : %2").arg(line).arg(problem));
    };
    for (int n = 0; n < lines.size(); ++n)
        if (const int at = firstControlCharacter(lines.at(n)); at >= 0)
            fail(n + 1, QStringLiteral("colonne %1 : %2")
                            .arg(at + 1)
                            .arg(controlCharacterText(lines.at(n).at(at))));
    static const QRegularExpression version(QStringLiteral("^Paquet Orvanthe:\\s*(\\d{1,6})\\s*$"));
    const auto head = version.match(lines.value(0));
    if (!head.hasMatch())
        fail(1, QStringLiteral("« %1: %2 » attendu : ce n'est pas un paquet de générateur")
                    .arg(bundleKey)
                    .arg(bundleVersion));
    if (head.captured(1).toInt() > bundleVersion)
        fail(1, QStringLiteral("paquet de version %1, plus récente que celle de ce programme (%2)")
                    .arg(head.captured(1))
                    .arg(bundleVersion));
    next = 1;
    // One section: its heading, then as many lines as it says.
    const auto readSection = [&](const QString& key) {
        static const QRegularExpression heading(
            QStringLiteral("^(.+):\\s*(\\d{1,7}) lignes?\\s*$"));
        const auto match = heading.match(lines.value(next));
        if (!match.hasMatch() || match.captured(1) != key)
            fail(next + 1, QStringLiteral("« %1: N lignes » attendu").arg(key));
        const int count = match.captured(2).toInt();
        if (next + 1 + count > lines.size())
            fail(next + 1, QStringLiteral("%1 lignes annoncées, %2 présentes")
                               .arg(count)
                               .arg(lines.size() - next - 1));
        const QStringList body = lines.mid(next + 1, count);
        const int start = next + 2;
        next += 1 + count;
        return std::pair{body, start};
    };
    GeneratorBundle bundle;
    const auto [generatorLines, generatorLine] = readSection(generatorKey);
    try {
        bundle.generator = readGeneratorFile(generatorLines.join(QLatin1Char('\n')));
    } catch (const Error& error) {
        fail(generatorLine, error.message());
    }
    const auto [tableLines, tableLine] = readSection(tablesKey);
    try {
        bundle.tables =
            parseTableFile((tableLines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    } catch (const TableFileError& error) {
        throw Error(QStringLiteral("tables du paquet (ligne %1 = ligne 1 des tables) : %2")
                        .arg(tableLine)
                        .arg(error.message()));
    }
    for (; next < lines.size(); ++next)
        if (!lines.at(next).trimmed().isEmpty())
            fail(next + 1, QStringLiteral("texte après la fin du paquet"));
    return bundle;
}

GeneratorBundle readBundleFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(
            QStringLiteral("Impossible de lire le fichier %1 : %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    try {
        if (decoder.hasError())
            throw Error(QStringLiteral("texte qui n'est pas en UTF-8"));
        return readBundle(text);
    } catch (const Error& error) {
        throw Error(path + QStringLiteral(" : ") + error.message());
    }
}

void writeBundleFile(const GeneratorBundle& bundle, const QString& path) {
    writeWholeFile(path, bundleText(bundle).toUtf8());
}

BundleImport importBundle(const Database& database, GeneratorBundle bundle, BundleClash clash) {
    const QHash<QString, RandomTable> stored = tablesById(loadRandomTables(database));
    QStringList allTexts;
    for (const RandomTable& table : bundle.tables)
        allTexts += textsOf(table);
    const QSet<QString> known = rememberedNames(bundle.generator.modele, allTexts);
    QSet<QString> taken;
    for (const QString& id : stored.keys())
        taken.insert(id.toLower());
    for (const RandomTable& table : bundle.tables)
        taken.insert(table.id.toLower());

    BundleImport done;
    // A table renamed changes the texts that name it, which may make another table differ from
    // the stored one: renaming goes on until nothing more differs.
    const auto rewritten = [&](RandomTable table) {
        for (TableElement& element : table.elements)
            element.text = renameTablesInText(element.text, known, done.renamed);
        table.id = done.renamed.value(table.id, table.id);
        return table;
    };
    QStringList clashes;
    for (bool again = true; again;) {
        again = false;
        clashes.clear();
        for (const RandomTable& table : bundle.tables) {
            if (done.renamed.contains(table.id))
                continue;
            const auto found = stored.constFind(table.id);
            if (found == stored.constEnd() || found->elements == rewritten(table).elements)
                continue;
            clashes.append(table.id);
            if (clash == BundleClash::Rename) {
                const QString id = freeTableId(table.id, [&](const QString& candidate) {
                    return taken.contains(candidate.toLower());
                });
                taken.insert(id.toLower());
                done.renamed.insert(table.id, id);
                again = true;
            }
        }
    }
    GeneratorStore generators(database);
    PersonalGenerator generator = bundle.generator;
    generator.modele = renameTablesInTemplate(generator.modele, done.renamed);
    const auto existing = generators.find(generator.id);
    bool generatorReused = false;
    if (existing) {
        generator.id = existing->id;
        // Line ends are not kept by the bundle, and change nothing to a run.
        generatorReused = Template::splitLines(generatorFileText(*existing)) ==
                          Template::splitLines(generatorFileText(generator));
        if (!generatorReused && clash == BundleClash::Rename)
            generator.id = freeGeneratorId(generators, generator.id);
    }
    if (clash == BundleClash::Refuse) {
        QStringList problems;
        for (const QString& id : clashes)
            problems.append(QStringLiteral("la table « %1 » existe déjà dans la base, "
                                           "différente")
                                .arg(id));
        if (existing && !generatorReused)
            problems.append(QStringLiteral("le générateur « %1 » existe déjà dans la base, "
                                           "différent")
                                .arg(existing->id));
        if (!problems.isEmpty())
            throw TableConflictError(problems);
    }
    RandomTables written;
    for (const RandomTable& original : bundle.tables) {
        const RandomTable table = rewritten(original);
        const auto found = stored.constFind(table.id);
        if (found != stored.constEnd() && found->elements == table.elements) {
            done.reused.append(table.id);
            continue;
        }
        (found == stored.constEnd() ? done.added : done.replaced).append(table.id);
        written.append(table);
    }
    done.generatorId = generator.id;
    done.generatorReused = generatorReused;
    database.transaction([&] {
        importTables(database, written, ImportMode::Replace);
        if (!generatorReused)
            generators.save({generator}, clash == BundleClash::Replace);
    });
    return done;
}

QStringList bundleImportText(const BundleImport& done) {
    QStringList lines;
    lines.append(
        done.generatorReused
            ? QStringLiteral("Générateur « %1 » déjà dans la base, identique").arg(done.generatorId)
            : QStringLiteral("Générateur « %1 » importé").arg(done.generatorId));
    const auto list = [&](const QString& what, const QStringList& ids) {
        if (!ids.isEmpty())
            lines.append(what + QStringLiteral(" : ") + ids.join(QStringLiteral(", ")));
    };
    list(QStringLiteral("Tables ajoutées"), done.added);
    list(QStringLiteral("Tables identiques gardées"), done.reused);
    list(QStringLiteral("Tables remplacées"), done.replaced);
    QStringList renamed = done.renamed.keys();
    std::sort(renamed.begin(), renamed.end());
    for (const QString& id : renamed)
        lines.append(QStringLiteral("Table « %1 » renommée « %2 » (modèle et textes réécrits)")
                         .arg(id, done.renamed.value(id)));
    return lines;
}

} // namespace ov
