#include "reportdefinition.h"

#include <QPageSize>

namespace ov {

namespace {

ReportDefinition makeDefinition(OutputKind kind) {
    ReportDefinition d;
    d.kind = kind;
    const OutputTable& output = outputTable(kind);
    d.table = output.table;
    d.sqlName = output.sqlName;
    d.textField = output.textField;
    d.margins = QMarginsF(12.7, 12.7, 12.7, 12.7);
    d.detailHeight = 20.3;
    d.textMinHeight = 17.1;
    switch (kind) {
    case OutputKind::Perso:
        d.formName = QStringLiteral("ovPersoReport");
        d.reportName = QStringLiteral("qrePerso");
        d.caption = QStringLiteral("OV personnage");
        d.margins = QMarginsF(10.0, 10.0, 10.0, 10.0);
        d.detailHeight = 34.9;
        d.textMinHeight = 30.7;
        break;
    case OutputKind::Tresor:
        d.formName = QStringLiteral("qreTresor");
        d.reportName = QStringLiteral("qreTresor");
        d.caption = QStringLiteral("OV trésor");
        break;
    case OutputKind::Rencontre:
        d.formName = QStringLiteral("frmReportRencontre");
        d.reportName = QStringLiteral("qreRencontre");
        d.caption = QStringLiteral("OV rencontres");
        d.title = QStringLiteral("Rencontre OV");
        d.windowCaption = QStringLiteral("Rapport sur les rencontres - OV");
        break;
    case OutputKind::Village:
        d.formName = QStringLiteral("qreVillage");
        d.reportName = QStringLiteral("qreVillage");
        d.caption = QStringLiteral("OV village");
        d.onlyUnprinted = false;
        d.headerHeight = 8.5;
        d.headerTop = 1.7;
        d.detailHeight = 34.9;
        d.textMinHeight = 30.7;
        d.textFontFamily = QStringLiteral("Courier New");
        d.textFontPoints = 11.0;
        break;
    }
    if (d.windowCaption.isEmpty())
        d.windowCaption = QStringLiteral("Aperçu avant impression - ") + d.caption;
    return d;
}

} // namespace

ReportDefinition personalReportDefinition(const QString& generatorId, const QString& nom) {
    ReportDefinition d = makeDefinition(OutputKind::Tresor);
    d.table = QStringLiteral("OVresultat");
    d.sqlName = QStringLiteral("OVresultat");
    d.textField = QStringLiteral("Texte");
    d.rowCondition = QStringLiteral("Generateur = ?");
    d.rowConditionValue = generatorId;
    d.formName = QStringLiteral("qreResultat");
    d.reportName = QStringLiteral("qreResultat");
    d.caption = QStringLiteral("OV ") + nom;
    d.windowCaption = QStringLiteral("Aperçu avant impression - ") + d.caption;
    return d;
}

QPageLayout ReportDefinition::pageLayout() const {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, margins,
                       QPageLayout::Millimeter);
}

const ReportDefinition& reportDefinition(OutputKind kind) {
    static const ReportDefinition definitions[] = {
        makeDefinition(OutputKind::Perso), makeDefinition(OutputKind::Tresor),
        makeDefinition(OutputKind::Rencontre), makeDefinition(OutputKind::Village)};
    return definitions[static_cast<int>(kind)];
}

} // namespace ov
