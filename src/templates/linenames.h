#pragma once
// Which remembered values a template line sets and which it recalls, as written (every part of
// every choice, chosen or not); names read inside expressions are found by expanding the line.

#include "template.h"

#include <QSet>
#include <QString>

namespace ov {

struct NameUse {
    QSet<QString> sets; // {x = …}, [x = id]
    QSet<QString> uses; // {x}, [x]; when expanded, also x inside an expression or a count

    void unite(const NameUse& other) {
        sets.unite(other.sets);
        uses.unite(other.uses);
    }
};

// The names the pieces set and use, as written; names set or used inside the texts that the
// line draws are found only by expanding it (the expander reports them).
NameUse namesOf(const Pieces& pieces);

} // namespace ov
