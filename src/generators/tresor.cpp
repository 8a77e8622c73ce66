#include "tresor.h"

#include "tables/textrules.h"

namespace ov {

namespace {

// A piece drawn into a fresh text: empty when the draw fails.
QString piece(Draws& draws, const QString& id) {
    QString text;
    draws.OV(id, text);
    return text;
}

// Jewel: size, rarity and a value rolled on D(100).
void appendJewelDetails(Draws& draws, QString& item) {
    item += QStringLiteral(" - TAILLE: ") + piece(draws, QStringLiteral("trjt"));
    item += QStringLiteral(" - RARETE: ") + piece(draws, QStringLiteral("trjr"));
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
    item += QStringLiteral(" - EFFET: ") + piece(draws, QStringLiteral("trme"));
    for (int extra = 0; extra < 2; ++extra) {
        if (draws.D(10) == 1)
            item += QStringLiteral(" / ") + piece(draws, QStringLiteral("trme"));
    }
}

bool takesClosingQuantity(const QString& code) {
    return code == QLatin1String("trar") || code == QLatin1String("trae") ||
           code == QLatin1String("trmg") || code == QLatin1String("tran");
}

} // namespace

void generateTresor(GenerationRun& run, Draws& draws) {
    run.begin();
    const QString treasureType = piece(draws, QStringLiteral("tytr"));
    run.addHeader();

    const QString code = treasureType.left(4);
    const QString typeName = treasureType.mid(5);
    QString item = piece(draws, code);

    if (code == QLatin1String("trjo"))
        appendJewelDetails(draws, item);
    else if (code == QLatin1String("trop"))
        item += QStringLiteral(" - EN: ") + piece(draws, QStringLiteral("trom"));
    else if (code == QLatin1String("trmo"))
        item = rebuildCoins(draws, item);
    else if (code == QLatin1String("trar"))
        item += QStringLiteral(" - SUR: ") + piece(draws, QStringLiteral("trac"));
    else if (code == QLatin1String("trma"))
        appendMagicDetails(draws, item);

    if (takesClosingQuantity(code))
        item += QStringLiteral(" - QT: ") + piece(draws, QStringLiteral("traq"));
    run.addLine(typeName + QStringLiteral(" - ") + item);

    QString line = QStringLiteral("PROTECTION: ") + piece(draws, QStringLiteral("trpr"));
    line += QStringLiteral(" - VISIBLE: ") + piece(draws, QStringLiteral("trvi"));
    line += QStringLiteral(" - ORIGINE: ") + piece(draws, QStringLiteral("tror"));
    run.addLine(line);

    line = QStringLiteral("QT: ") + piece(draws, QStringLiteral("trqt"));
    line += QStringLiteral(" - EL: ") + piece(draws, QStringLiteral("trql"));
    line += QStringLiteral(" - ETAT: ") + piece(draws, QStringLiteral("tret"));
    line += QStringLiteral(" - CONTENANT: ") + piece(draws, QStringLiteral("trcn"));
    run.addLine(line);

    run.finish(QStringLiteral(" "));
}

} // namespace ov
