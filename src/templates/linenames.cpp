#include "linenames.h"

namespace ov {

namespace {

void collect(const Pieces& pieces, NameUse& names) {
    for (const Piece& piece : pieces) {
        switch (piece.kind) {
        case Piece::Kind::Recall:
        case Piece::Kind::Article:
        case Piece::Kind::Agree:
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
