#include "rencontre.h"

#include "tables/random.h"

namespace ov {

namespace {

// The working texts of one run. Each value is drawn into a result slot that keeps its content
// when the draw fails; nothing is cleared between lines or encounters.
class EncounterWriter {
public:
    EncounterWriter(GenerationRun& run, Draws& draws)
        : m_run(run),
          m_draws(draws), m_slots{QString::number(run.n()), run.dateText(), QString(), QString()} {}

    void writeEncounter() {
        m_draws.OV(QStringLiteral("renc"), m_code);
        m_description = m_code.mid(5);
        m_code = m_code.left(4);

        if (m_code == QLatin1String("rcre"))
            writeCreature();
        else if (m_code == QLatin1String("rhum"))
            writeHuman();
        else if (m_code == QLatin1String("rani"))
            writeAnimal();
        else if (m_code == QLatin1String("rcon"))
            repeat(3, [this] { writeConstruction(); });
        else if (m_code == QLatin1String("rmet"))
            writeWeather();
        else if (m_code == QLatin1String("rter"))
            repeat(5, [this] { writeTerrain(); });
        else if (m_code == QLatin1String("reve"))
            repeat(3, [this] { writeEvent(); });
        else if (m_code == QLatin1String("robj"))
            repeat(3, [this] { writeObject(); });

        m_run.addLine(QStringLiteral("............"));
    }

private:
    // The slot (1 to 4) after a draw into it.
    const QString& draw(const char* id, int slot) {
        QString& target = m_slots[slot - 1];
        m_draws.OV(QLatin1String(id), target);
        return target;
    }

    template <typename Line> void repeat(int sides, Line line) {
        const int count = m_draws.D(sides);
        for (int i = 0; i < count; ++i)
            line();
    }

    void writeCreature() {
        QString line = draw("rnom", 1) + QStringLiteral(" ") + m_description;
        line += QStringLiteral(" - FORME: ") + draw("rfor", 2);
        line += QStringLiteral(" - ALIGNEMENT: ") + draw("rali", 3);
        m_run.addLine(line);
        writeAttitude(QStringLiteral("  ATTITUDE: "));
    }

    void writeHuman() {
        QString line = draw("rnom", 1) + QStringLiteral(" ") + m_description;
        line += QStringLiteral(" - ALIGNEMENT: ") + draw("rali", 2);
        line += QStringLiteral(" - SOCIAL: ") + draw("rich", 3);
        line += QStringLiteral(" ORIGINE: ") + draw("orig", 4);
        m_run.addLine(line);
        writeAttitude(QStringLiteral("  ATTITUDE: "));
    }

    void writeAnimal() {
        QString line = draw("rnom", 1) + QStringLiteral(" ") + m_description;
        line += QStringLiteral(" - FORME: ") + draw("rfor", 2);
        m_run.addLine(line);
        writeAttitude(QStringLiteral("   - OBJECTIF: "));
    }

    // The second line of a creature, a human or an animal.
    void writeAttitude(const QString& label) {
        QString line = label + draw("ratt", 1);
        line += QStringLiteral(" - VISIBILITE: ") + draw("trvi", 2);
        line += QStringLiteral(" - ACTIVITE: ") + draw("ract", 3);
        m_run.addLine(line);
    }

    void writeConstruction() {
        QString line = m_description + QStringLiteral(": ") + draw("rcon", 1);
        line += QStringLiteral(" - TAILLE: ") + draw("rtai", 2);
        line += QStringLiteral(" - VISIBILITE: ") + draw("trvi", 3);
        line += QStringLiteral(" - ETAT: ") + draw("tret", 4);
        m_run.addLine(line);
    }

    void writeWeather() {
        QString line = m_description + QStringLiteral(": ") + draw("rmet", 1);
        line += QStringLiteral(" - POSITIVITE: ") + draw("rpos", 2);
        m_run.addLine(line);
    }

    void writeTerrain() {
        QString line = m_description + QStringLiteral(": ") + draw("rter", 1);
        line += QStringLiteral(" - TAILLE: ") + draw("rtai", 2);
        line += QStringLiteral(" - VISIBILITE: ") + draw("trvi", 3);
        m_run.addLine(line);
    }

    void writeEvent() {
        QString line = m_description + QStringLiteral(": ") + draw("reve", 1);
        line += QStringLiteral(" - POSITIVITE: ") + draw("rpos", 2);
        m_run.addLine(line);
    }

    // The object's name is the type name of a "tytr" element, empty when that draw fails.
    void writeObject() {
        QString treasureType;
        m_draws.OV(QStringLiteral("tytr"), treasureType);
        m_slots[0] = treasureType.mid(5);
        QString line = m_description + QStringLiteral(": ") + m_slots[0];
        line += QStringLiteral(" - TAILLE: ") + draw("rtai", 2);
        line += QStringLiteral(" - VISIBILITE: ") + draw("trvi", 3);
        line += QStringLiteral(" - ETAT: ") + draw("tret", 4);
        m_run.addLine(line);
    }

    GenerationRun& m_run;
    Draws& m_draws;
    QString m_slots[4];
    QString m_code; // receives the "renc" draw, then keeps its first four characters
    QString m_description;
};

} // namespace

void generateRencontre(GenerationRun& run, Draws& draws) {
    const int encounters = Dice::bandD4(draws.D(10));
    run.begin();
    run.addHeader();
    EncounterWriter writer(run, draws);
    for (int i = 0; i < encounters; ++i)
        writer.writeEncounter();
    run.finish(QStringLiteral(" "));
}

} // namespace ov
