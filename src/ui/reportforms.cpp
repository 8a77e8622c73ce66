#include "reportforms.h"

#include "tables/outputs.h"

namespace ov::ui {

ReportForms::ReportForms(const Database& database, QObject* parent)
    : QObject(parent), m_database(database) {}

ReportForms::~ReportForms() = default;

void ReportForms::print(OutputKind kind, UnprintedCount& count, QWidget* parent) {
    // The preview comes with the report layouts; until then only the count is refreshed.
    Q_UNUSED(kind);
    Q_UNUSED(parent);
    count.close();
    count.open();
    Q_EMIT countRefreshed(count.value());
}

} // namespace ov::ui
