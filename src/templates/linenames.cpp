#include "linenames.h"

namespace ov {

namespace {

void usesOf(const Expression* e, QSet<QString>& uses) {
    if (!e)
        return;
    if (e->kind == Expression::Kind::Name)
        uses.insert(e->name);
    usesOf(e->left.get(), uses);
    usesOf(e->right.get(), uses);
}

void collect(const Pieces& pieces, NameUse& names) {
    for (const Piece& piece : pieces) {
        usesOf(piece.expression.get(), names.uses);
        switch (piece.kind) {
        case Piece::Kind::Recall:
            names.uses.insert(piece.name);
            break;
        case Piece::Kind::KeepNumber:
        case Piece::Kind::KeepText:
            names.sets.insert(piece.name);
            break;
        case Piece::Kind::Choice:
            for (const Pieces& part : piece.parts)
                collect(part, names);
            break;
        default:
            break;
        }
    }
}

} // namespace

NameUse namesOf(const Pieces& pieces) {
    NameUse names;
    collect(pieces, names);
    return names;
}

} // namespace ov
