#pragma once
// What one report prints and how its page is laid out, every length in millimetres.

#include "tables/outputs.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QString>
#include <QVariant>

namespace ov {

struct ReportDefinition {
    OutputKind kind = OutputKind::Perso; // the built-in kind; a personal generator's report keeps
                                         // the default and says so by its row condition
    // The records it prints: their table, the name its statements use, the text field, and a
    // condition with its one value that keeps the rows of one generator (empty for the built-ins).
    QString table;
    QString sqlName;
    QString textField;
    QString rowCondition;
    QVariant rowConditionValue;
    QString formName;          // ovPersoReport, qreTresor, frmReportRencontre, qreVillage
    QString reportName;        // qrePerso, qreTresor, qreRencontre, qreVillage
    QString caption;           // the page header caption, "OV personnage"...
    QString title;             // the name of the print job; empty when the report has none
    QString windowCaption;     // the caption of the preview window
    bool onlyUnprinted = true; // the filter "DateImprime = null"; villages print every row

    double pageWidth = 210.0; // A4 portrait
    double pageHeight = 297.0;
    QMarginsF margins; // left, top, right, bottom

    double headerHeight = 6.1;
    double headerTop = 0.0; // of the header items within the header band
    double captionLeft = 0.0;
    double dateLeft = 30.1;
    double pageTextLeft = 66.7;
    double pageNumberLeft = 79.4;
    QString headerFontFamily = QStringLiteral("Arial");
    double headerFontPoints = 10.0;

    double detailHeight = 34.9; // the minimum; the band grows with its text
    double textLeft = 1.7;
    double textTop = 1.7;
    double textWidth = 186.7;
    double textMinHeight = 30.7;
    QString textFontFamily = QStringLiteral("Tahoma");
    double textFontPoints = 10.0;

    // Height of the page between the top and bottom margins.
    double bodyHeight() const { return pageHeight - margins.top() - margins.bottom(); }
    // Space of the detail band under its text box.
    double detailBottomSpace() const { return detailHeight - textTop - textMinHeight; }
    QPageLayout pageLayout() const;
};

// The report of each kind of record.
const ReportDefinition& reportDefinition(OutputKind kind);

// The report of a personal generator's results: the layout of the treasure report, the caption
// "OV " followed by the generator's Nom, only the rows not printed yet.
ReportDefinition personalReportDefinition(const QString& generatorId, const QString& nom);

} // namespace ov
