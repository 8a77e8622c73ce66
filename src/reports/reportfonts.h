#pragma once
// Makes the faces the program names available: "Tahoma" lives in a folder the system does not
// search.

namespace ov {

// Registers the Tahoma faces shipped with the Windows-compatibility fonts when the system does
// not know "Tahoma" yet. Needs a QGuiApplication; does nothing without one. Runs its search once.
void ensureReportFonts();

} // namespace ov
