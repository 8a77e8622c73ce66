#include "perso.h"

#include <array>

namespace ov {

namespace {

// The trait tables, in the order they are rolled for and stand in the trait line.
constexpr std::array<const char*, 14> traitTables = {"brav", "disp", "econ", "ener", "honn",
                                                     "mate", "mora", "perb", "perc", "pers",
                                                     "natu", "piet", "tena", "tenb"};

// The labels of the ten "stat" values.
constexpr std::array<const char*, 10> statLabels = {
    "s:", "st:", "d:", "a:", "i:", "w:", "e:", "em:", "c:", "ap:"};

struct Piece {
    const char* label;
    const char* table;
};

constexpr std::array<Piece, 7> socialPieces = {{{" SOCIAL:", "rich"},
                                                {" ORIGINE:", "orig"},
                                                {" PAYS:", "pays"},
                                                {" LIEU:", "lieu"},
                                                {" TERRAIN:", "terr"},
                                                {" CIVIL:", "etci"},
                                                {" RELIGION:", "reli"}}};

constexpr std::array<Piece, 3> buildPieces = {
    {{" CARRURE:", "carr"}, {" TAILLE:", "tail"}, {" POIDS:", "poid"}}};

constexpr std::array<Piece, 6> hairPieces = {{{" CHEVEUX ", "chco"},
                                              {" ", "chlo"},
                                              {" ", "chty"},
                                              {" YEUX:", "yeux"},
                                              {" PILOSITE TETE:", "pilo"},
                                              {" CORPS:", "pico"}}};

template <std::size_t N> QString labelledLine(Draws& draws, const std::array<Piece, N>& pieces) {
    QString line;
    for (const Piece& piece : pieces) {
        line += QLatin1String(piece.label);
        line += drawn(draws, piece.table);
    }
    return line;
}

QChar firstCharacter(const QString& text) {
    return text.isEmpty() ? QChar() : text.front();
}

int weaponCount(Draws& draws, QChar first) {
    switch (first.unicode()) {
    case '0':
        return draws.D(2);
    case '1':
        return draws.D(8) + 3;
    case '3':
        return draws.D(4) + 1;
    case '7':
        return draws.D(6) + 2;
    default:
        return 0;
    }
}

int talentCount(Draws& draws, QChar first) {
    switch (first.unicode()) {
    case '1':
        return draws.D(1) + 1;
    case '2':
        return draws.D(2) + 1;
    case '3':
        return draws.D(3) + 2;
    case '4':
        return draws.D(4) + 2;
    case '5':
        return draws.D(5) + 3;
    case '6':
        return draws.D(6) + 3;
    case '7':
        return draws.D(7) + 4;
    default:
        return 0;
    }
}

} // namespace

void generatePerso(GenerationRun& run, Draws& draws) {
    run.begin();
    run.addHeader();

    const QString age = drawn(draws, "age");
    const QString cel = drawn(draws, "cel");
    const QString mel = drawn(draws, "mel");

    QString line = QStringLiteral("_________ ________ _________ AGE:") + age;
    line += QStringLiteral(" SEXE:") + drawn(draws, "sexe");
    line += QStringLiteral(" CEL:") + cel;
    line += QStringLiteral(" / MEL:") + mel;
    run.addLine(line);

    run.addLine(labelledLine(draws, socialPieces));

    // The trait line is rolled for here but stands after the "stat" line.
    QString traits = QStringLiteral("CARACTERE: ");
    for (const char* table : traitTables) {
        if (draws.D(5) == 1) {
            traits += drawn(draws, table);
            traits += QLatin1Char('-');
        }
    }

    run.addLine(labelledLine(draws, buildPieces));
    run.addLine(labelledLine(draws, hairPieces));

    QString stats;
    for (std::size_t i = 0; i < statLabels.size(); ++i) {
        if (i > 0)
            stats += QStringLiteral(" - ");
        stats += QLatin1String(statLabels[i]);
        stats += drawn(draws, "stat");
    }
    run.addLine(stats);

    run.addLine(traits);

    const int weapons = weaponCount(draws, firstCharacter(cel));
    QString arms = QStringLiteral("ARMES : ");
    for (int i = 0; i < weapons; ++i) {
        arms += drawn(draws, draws.D(3) == 1 ? "arje" : "arco");
        arms += QStringLiteral("__ / ");
    }
    run.addLine(arms);

    const int talents = talentCount(draws, firstCharacter(age));
    QString gifts = QStringLiteral("TALENTS : ");
    for (int i = 0; i < talents; ++i) {
        gifts += drawn(draws, "tale");
        gifts += QStringLiteral("___ / ");
    }
    run.addLine(gifts);

    // The fourth part of the value has no draw: it stays empty.
    run.finish(age + QLatin1Char('/') + cel + QLatin1Char('/') + mel + QLatin1Char('/'));
}

} // namespace ov
