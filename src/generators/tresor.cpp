#include "tresor.h"

#include "tables/textrules.h"

namespace ov {

namespace {

// Jewel: size, rarity and a value rolled on D(100).
void appendJewelDetails(Draws& draws, QString& item) {
    item += QStringLiteral(" - TAILLE: ") + drawn(draws, QStringLiteral("trjt"));
    item += QStringLiteral(" - RARETE: ") + drawn(draws, QStringLiteral("trjr"));
    item += QStringLiteral(" - VALEUR(+EL): x") + QString::number(draws.D(100));
}

// Coins: the first three characters give the quantity number, the text starts at the fifth.
// A quantity number that does not convert raises ConversionError and ends the run.
QString rebuildCoins(Draws& draws, const QString& item) {
    const QString rest = item.mid(4);
    const int quantityNumber = toInteger(item.left(3));
    return rest + QStringLiteral(" - QT: ") + QString::number(draws.D(quantityNumber));
}

// Magic item: MEL from D4 rolls of D(6), EL from D(10), one effect and two chances of another.
void appendMagicDetails(Draws& draws, QString& item) {
    const int rolls = draws.D4();
    int mel = 0;
    for (int i = 0; i < rolls; ++i)
        mel += draws.D(6);
    item += QStringLiteral(" - MEL ") + QString::number(mel);
    item += QStringLiteral(" / EL ") + QString::number(draws.D(10));
    item += QStringLiteral(" - EFFET: ") + drawn(draws, QStringLiteral("trme"));
    for (int extra = 0; extra < 2; ++extra) {
        if (draws.D(10) == 1)
            item += QStringLiteral(" / ") + drawn(draws, QStringLiteral("trme"));
    }
}

bool takesClosingQuantity(const QString& code) {
    return code == QLatin1String("trar") || code == QLatin1String("trae") ||
           code == QLatin1String("trmg") || code == QLatin1String("tran");
}

} // namespace

void generateTresor(GenerationRun& run, Draws& draws) {
    run.begin();
    const QString treasureType = drawn(draws, QStringLiteral("tytr"));
    run.addHeader();

    const QString code = treasureType.left(4);
    const QString typeName = treasureType.mid(5);
    QString item = drawn(draws, code);

    if (code == QLatin1String("trjo"))
        appendJewelDetails(draws, item);
    else if (code == QLatin1String("trop"))
        item += QStringLiteral(" - EN: ") + drawn(draws, QStringLiteral("trom"));
    else if (code == QLatin1String("trmo"))
        item = rebuildCoins(draws, item);
    else if (code == QLatin1String("trar"))
        item += QStringLiteral(" - SUR: ") + drawn(draws, QStringLiteral("trac"));
    else if (code == QLatin1String("trma"))
        appendMagicDetails(draws, item);

    if (takesClosingQuantity(code))
        item += QStringLiteral(" - QT: ") + drawn(draws, QStringLiteral("traq"));
    run.addLine(typeName + QStringLiteral(" - ") + item);

    QString line = QStringLiteral("PROTECTION: ") + drawn(draws, QStringLiteral("trpr"));
    line += QStringLiteral(" - VISIBLE: ") + drawn(draws, QStringLiteral("trvi"));
    line += QStringLiteral(" - ORIGINE: ") + drawn(draws, QStringLiteral("tror"));
    run.addLine(line);

    line = QStringLiteral("QT: ") + drawn(draws, QStringLiteral("trqt"));
    line += QStringLiteral(" - EL: ") + drawn(draws, QStringLiteral("trql"));
    line += QStringLiteral(" - ETAT: ") + drawn(draws, QStringLiteral("tret"));
    line += QStringLiteral(" - CONTENANT: ") + drawn(draws, QStringLiteral("trcn"));
    run.addLine(line);

    run.finish(QStringLiteral(" "));
}

} // namespace ov
