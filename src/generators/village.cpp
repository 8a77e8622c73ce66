#include "village.h"

#include "tables/textrules.h"

namespace ov {

namespace {

// count draws from one table, each text followed by " / ".
QString drawnList(Draws& draws, const QString& id, int count) {
    QString list;
    for (int i = 0; i < count; ++i)
        list += drawn(draws, id) + QStringLiteral(" / ");
    return list;
}

// round((D(20) + 50) x houses / 100), half to even; when the population is less than twice
// that, D(population / 2 rounded half to even) instead.
int tradeCount(Draws& draws, int houses, int population) {
    const int m = (draws.D(20) + 50) * houses;
    const int count = int(roundHalfEven(m / 100.0));
    if (population >= 2 * count)
        return count;
    return draws.D(int(roundHalfEven(population / 2.0)));
}

// The number right-aligned on two places, "-", the trade left-aligned on 13 characters: at most
// 12 closing blanks, none from 13 characters on.
QString tradeEntry(int number, const QString& trade) {
    const int blanks = qBound(0, 13 - characterCount(trade), 12);
    return (number < 10 ? QStringLiteral(" ") : QString()) + QString::number(number) +
           QStringLiteral("-") + trade + QString(blanks, QLatin1Char(' '));
}

} // namespace

void generateVillage(GenerationRun& run, Draws& draws) {
    run.switchCount();
    run.hideGrids();
    run.clearMemo();

    // Name, construction, houses and population come before the header line.
    QString name;
    QString construction;
    draws.OV(QStringLiteral("vino"), name);
    draws.OV(QStringLiteral("vico"), construction);
    int houses = 0;
    for (int i = 0; i < 4; ++i) {
        const int k = draws.D4();
        houses += draws.D(10 * k);
    }
    int factor = draws.D4();
    factor += draws.D4();
    factor += draws.D4();
    factor -= 2;
    const int population = factor * houses;

    run.countRecords();
    run.addHeader();

    const QString vire = drawn(draws, QStringLiteral("vire"));
    run.addLine(QStringLiteral("NOM(") + name + QStringLiteral(")__________ CONSTRUIT(") +
                construction + QStringLiteral(")__________ REGION(") + vire +
                QStringLiteral(")__________"));

    const QString viag = drawn(draws, QStringLiteral("viag"));
    const QString vica = drawn(draws, QStringLiteral("vica"));
    run.addLine(QStringLiteral("MAISONS >>> ") + QString::number(houses) +
                QStringLiteral(" <<<  POPULATION >>> ") + QString::number(population) +
                QStringLiteral(" <<<  (") + viag + QStringLiteral(" / ") + vica +
                QStringLiteral(")"));

    const QString vise = drawn(draws, QStringLiteral("vise"));
    const QString virp = drawn(draws, QStringLiteral("virp"));
    const QString vifa = drawn(draws, QStringLiteral("vifa"));
    run.addLine(QStringLiteral("SEIGNEUR(") + vise + QStringLiteral(" / ") + virp +
                QStringLiteral(")__________ FAMILLE(") + vifa + QStringLiteral(")__________ "));

    const QString vifi = drawn(draws, QStringLiteral("vifi"));
    const QString viva = drawn(draws, QStringLiteral("viva"));
    run.addLine(QStringLiteral("FIEF (") + vifi + QStringLiteral(")____________________  VASSAL(") +
                viva + QStringLiteral(")____________________"));

    const QString thirtyUnderscores = QStringLiteral(")______________________________");

    const QString viin = drawn(draws, QStringLiteral("viin"));
    int k = draws.D4();
    const int stewards = draws.D(3 * (k - 1));
    run.addLine(QStringLiteral("INTENDANTS(") + viin + QStringLiteral(" / ") +
                QString::number(stewards) + thirtyUnderscores);

    const QString viha = drawn(draws, QStringLiteral("viha"));
    k = draws.D4();
    const int menAtArms = draws.D(10 * k);
    run.addLine(QStringLiteral("HOMMES d ARMES (") + viha + QStringLiteral(" / ") +
                QString::number(menAtArms) + thirtyUnderscores);

    const QString vich = drawn(draws, QStringLiteral("vich"));
    k = draws.D4();
    const int knights = draws.D(4 * (k - 1));
    run.addLine(QStringLiteral("CHEVALIER(") + vich + QStringLiteral(" / ") +
                QString::number(knights) + thirtyUnderscores);

    const QString viim = drawn(draws, QStringLiteral("viim"));
    const QString vilo = drawn(draws, QStringLiteral("vilo"));
    run.addLine(QStringLiteral("IMPOTS LOCAUX(") + viim + QStringLiteral(")__________") +
                QStringLiteral("LOIS(") + vilo + QStringLiteral(")____________________"));

    const QString vihi = drawn(draws, QStringLiteral("vihi"));
    run.addLine(QStringLiteral("HISTOIRES / LEGENDES(") + vihi +
                QStringLiteral(")________________________________________"));

    run.addLine(QStringLiteral(">"));
    run.addLine(QStringLiteral(">"));

    const QString vifo = drawn(draws, QStringLiteral("vifo"));
    const QString vipr = drawn(draws, QStringLiteral("vipr"));
    run.addLine(QStringLiteral("LIEU EN : ") + vifo + QStringLiteral("__________  PROTEGE PAR : ") +
                vipr + QStringLiteral("__________"));

    const int a = draws.D4();
    const int b = draws.D4();
    const QString terrain = drawnList(draws, QStringLiteral("viel"), a + b - 1);
    run.addLine(QStringLiteral("TERRAIN : ") + terrain + QStringLiteral("__________    "));

    const QString vida = drawn(draws, QStringLiteral("vida"));
    run.addLine(QStringLiteral("DANGER : ") + vida);

    // The interests are drawn before the wealth and the market, though they stand between them.
    k = draws.D4();
    const QString interests = drawnList(draws, QStringLiteral("viit"), k - 1);
    const QString viri = drawn(draws, QStringLiteral("viri"));
    const QString vima = drawn(draws, QStringLiteral("vima"));
    run.addLine(QStringLiteral("RICHESSE : ") + viri + QStringLiteral("    INTERETS LOCAUX : ") +
                interests + QStringLiteral("    MARCHE : ") + vima);

    k = draws.D4();
    for (int i = 1; i < k; ++i) {
        const QString virs = drawn(draws, QStringLiteral("virs"));
        run.addLine(QStringLiteral("RESSOURCE : ") + virs +
                    QStringLiteral("____________________________"));
    }

    run.addLine(QStringLiteral("> METIERS : "));

    // A failed draw keeps the previous trade, so that entry repeats it under its own number.
    const int trades = tradeCount(draws, houses, population);
    QString trade;
    QString tradesLine;
    tradesLine.reserve(qMax(trades, 0) * 20);
    for (int i = 1; i <= trades; ++i) {
        draws.OV(QStringLiteral("vime"), trade);
        tradesLine += tradeEntry(i, trade);
    }
    run.addLine(tradesLine);

    run.finish(QStringLiteral("A") + construction + QStringLiteral("M") + QString::number(houses));
}

} // namespace ov
