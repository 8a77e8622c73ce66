#include "draft.h"

#include "generators/generators.h"
#include "tables/database.h"
#include "tables/errors.h"

namespace ov {

namespace {

QString syntaxMessage(const PersonalGenerator& generator, const TemplateError& error) {
    return QStringLiteral("Générateur « %1 », %2")
        .arg(generator.id, error.message().replace(0, 1, QStringLiteral("l")));
}

} // namespace

quint32 Draft::seedFrom(RandomSource& source) {
    quint32 x = source.state();
    source.next(0);
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

Draft::Draft(const Database& database, const Clock& clock, OutputKind kind, quint32 seed)
    : m_database(database), m_clock(clock), m_random(seed), m_draw(database, m_dice),
      m_source(kind) {
    m_lines = QStringList{QString()}; // the header comes with the first run
    m_startMessages = runBuiltIn();
}

Draft::Draft(const Database& database, const Clock& clock, const PersonalGenerator& generator,
             quint32 seed)
    : m_database(database), m_clock(clock), m_random(seed), m_draw(database, m_dice),
      m_source(Personal{generator, {}}) {
    Personal& personal = std::get<Personal>(m_source);
    if (auto error = Template::parse(generator.modele, personal.parsed))
        throw Error(syntaxMessage(generator, *error));
    const auto& templateLines = personal.parsed.lines();
    for (int i = 0; i < int(templateLines.size()); ++i)
        if (!templateLines[std::size_t(i)].comment)
            m_body.append(BodyLine{i, namesOf(templateLines[std::size_t(i)].pieces), {}, false});
    const QString dateText = shortDate(m_clock.now().date());
    m_lines = QStringList{resultHeader(
        generator, GeneratorStore(m_database).nextResultNumber(generator.id), dateText)};
    for (int k = 0; k < m_body.size(); ++k)
        m_lines.append(QString());
    m_startMessages = rerollAll();
}

Draft::Draft(const Database& database, const Clock& clock, const QString& table,
             const QString& title, quint32 seed)
    : m_database(database), m_clock(clock), m_random(seed), m_draw(database, m_dice),
      m_source(TableDrawOf{table}) {
    m_lines = QStringList{title, QString()};
    m_body.append(BodyLine{});
    m_startMessages = rerollAll();
    if (m_lines[1].isEmpty() && !m_startMessages.isEmpty())
        throw Error(m_startMessages.first()); // a failed draw: no draft
}

QString Draft::subject() const {
    if (auto kind = this->kind())
        return outputTable(*kind).name;
    if (auto* personal = std::get_if<Personal>(&m_source))
        return personal->generator.id;
    return std::get<TableDrawOf>(m_source).table;
}

std::optional<OutputKind> Draft::kind() const {
    if (auto* kind = std::get_if<OutputKind>(&m_source))
        return *kind;
    return std::nullopt;
}

bool Draft::isLocked(int line) const {
    return line >= 1 && line <= m_body.size() && m_body[line - 1].locked;
}

void Draft::requireOpen() const {
    if (m_kept)
        throw Error(QStringLiteral("Ce brouillon a déjà été gardé."));
}

void Draft::requireBodyLine(int line) const {
    if (line == 0)
        throw Error(QStringLiteral("L'en-tête ne change qu'au moment où le brouillon est gardé."));
    if (line < 0 || line >= m_lines.size())
        throw Error(QStringLiteral("Le brouillon n'a pas de ligne %1.").arg(line));
}

QStringList Draft::runBuiltIn() {
    UnprintedCount count(m_database);
    NoWatcher nobody;
    RecordingMessageSink messages;
    Generation generation(m_database, count, m_clock, m_draw, messages);
    const RunReport report = generation.run(std::get<OutputKind>(m_source), nobody, false);
    if (report.error)
        throw Error(*report.error);
    const QString header = m_lines.value(0);
    m_lines = report.lines;
    if (!header.isEmpty() && !m_lines.isEmpty())
        m_lines[0] = header; // the header stays as it was shown first
    m_type = report.type;
    return messages.messages;
}

Expander::Values Draft::valuesBefore(int k) const {
    Expander::Values values;
    for (int j = 1; j < k; ++j)
        for (auto it = m_body[j - 1].set.constBegin(); it != m_body[j - 1].set.constEnd(); ++it)
            values.insert(it.key(), it.value());
    return values;
}

QSet<QString> Draft::expandBody(int k, Expander& expander) {
    BodyLine& line = m_body[k - 1];
    QSet<QString> touched = line.names.sets;
    for (auto it = line.set.constBegin(); it != line.set.constEnd(); ++it)
        touched.insert(it.key());
    NameUse found;
    expander.setValues(valuesBefore(k));
    if (auto* personal = std::get_if<Personal>(&m_source)) {
        const TemplateLine& source = personal->parsed.lines()[std::size_t(line.templateLine)];
        m_lines[k] = expander.expandLine(source, line.templateLine + 1, &found);
        line.names = namesOf(source.pieces);
    } else {
        m_lines[k] = expander.expandDraw(std::get<TableDrawOf>(m_source).table).value_or(QString());
    }
    line.names.unite(found);
    line.set.clear();
    for (const QString& name : std::as_const(found.sets))
        line.set.insert(name, expander.values().value(name));
    return touched.unite(found.sets);
}

QStringList Draft::changeLines(const std::function<void(Expander&)>& change) {
    const QStringList lines = m_lines;
    const QVector<BodyLine> body = m_body;
    RecordingMessageSink messages;
    TableDraws draws(m_draw, messages);
    Expander expander(draws, messages);
    if (const auto* personal = std::get_if<Personal>(&m_source))
        expander.setFrench(personal->generator.francais);
    const auto restore = [&] {
        m_lines = lines;
        m_body = body;
    };
    const QString id = subject();
    try {
        change(expander);
    } catch (const SizeExceeded&) {
        restore();
        throw Error(sizeExceededMessage(id));
    } catch (const ArithmeticOverflow&) {
        restore();
        throw Error(QStringLiteral("Générateur « %1 » : %2").arg(id, overflowText()));
    } catch (...) {
        restore();
        throw;
    }
    qint64 written = 0;
    for (int k = 1; k < m_lines.size(); ++k)
        written += m_lines[k].size();
    if (written > Expander::maxCharacters) {
        restore();
        throw Error(sizeExceededMessage(id));
    }
    return messages.messages;
}

QStringList Draft::reroll(int line) {
    requireOpen();
    requireBodyLine(line);
    if (rerollsWhole())
        return runBuiltIn();
    if (isLocked(line))
        throw Error(QStringLiteral("La ligne %1 est verrouillée.").arg(line));
    return changeLines([&](Expander& expander) {
        QSet<QString> changed = expandBody(line, expander);
        for (int k = line + 1; k < m_lines.size(); ++k) {
            BodyLine& later = m_body[k - 1];
            if (!later.locked && later.names.uses.intersects(changed))
                changed.unite(expandBody(k, expander));
        }
    });
}

QStringList Draft::rerollAll() {
    requireOpen();
    if (rerollsWhole())
        return runBuiltIn();
    return changeLines([&](Expander& expander) {
        for (int k = 1; k < m_lines.size(); ++k)
            if (!m_body[k - 1].locked)
                expandBody(k, expander);
    });
}

void Draft::setLocked(int line, bool locked) {
    requireOpen();
    requireBodyLine(line);
    if (rerollsWhole())
        throw Error(QStringLiteral("Les lignes d'un générateur intégré se relancent ensemble : "
                                   "on ne peut pas en verrouiller une."));
    m_body[line - 1].locked = locked;
}

KeptDraft Draft::keep() {
    requireOpen();
    KeptDraft kept;
    if (auto kind = this->kind()) {
        // The body goes through the frame of a run, which takes the number and stores the
        // record as a button's run does.
        const QStringList body = m_lines.mid(1);
        const auto replay = [&](GenerationRun& run, Draws&) {
            run.begin();
            run.addHeader();
            for (const QString& line : body)
                run.addLine(line);
            run.finish(m_type);
        };
        UnprintedCount count(m_database);
        NoWatcher nobody;
        RecordingMessageSink messages;
        Generation generation(m_database, count, m_clock, m_draw, messages);
        const RunReport report = generation.run(*kind, replay, nobody, true);
        if (report.error || !report.stored)
            throw Error(report.error.value_or(notStoredMessage(QString())));
        kept.kind = kind;
        kept.id = report.id;
        kept.lines = report.lines;
        kept.type = report.type;
    } else if (auto* personal = std::get_if<Personal>(&m_source)) {
        GeneratorStore store(m_database);
        const auto generator = store.find(personal->generator.id);
        if (!generator)
            throw Error(QStringLiteral("Le générateur « %1 » n'existe plus : rien n'est "
                                       "enregistré.")
                            .arg(personal->generator.id));
        const QDateTime now = m_clock.now();
        const QString dateText = shortDate(now.date());
        const QStringList body = m_lines.mid(1);
        kept.generator = generator->id;
        kept.id = store.storeResult(*generator, dateText, body, now);
        kept.lines = QStringList{resultHeader(*generator, kept.id, dateText)} + body;
    } else {
        throw Error(QStringLiteral("Un tirage sur une table ne s'enregistre pas."));
    }
    m_kept = true;
    m_lines = kept.lines;
    return kept;
}

} // namespace ov
