#pragma once
// What the generator editor does to the store beyond the store's own list, save and remove: a
// save that may change the Id, and a free Id.

#include "personalgenerator.h"

#include <QStringList>

namespace ov {

// Saves an edited generator over the stored one whose Id was previousId (empty: a new one). A new
// Id carries the results along. Checked first (Id, Nom, syntax, an Id taken by another); one
// transaction; raises Error with a French message and writes nothing when refused.
void saveEditedGenerator(const Database& database, const QString& previousId,
                         const PersonalGenerator& generator);

// The first Id among base, base-2, base-3… that no stored generator has (any case), cut so that
// it stays within the permitted length.
QString freeGeneratorId(const GeneratorStore& store, const QString& base);

} // namespace ov
