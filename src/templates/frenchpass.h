#pragma once
// The French post-pass of a generated line: elision (« l'épée ») and contraction (« au », « du »)
// of a trigger word with the word that follows it. A pure function: no store, no random numbers.

#include <QString>

namespace ov {

// The line with every trigger rewritten, scanned once from left to right; whether a word is a
// trigger is judged on the line as it was given, so a rewrite never makes or unmakes one.
QString frenchPostPass(const QString& line);

// Whether a word (letters only) begins with a vowel sound: a vowel, or an h that is not aspirated,
// and none of the few words that begin with a vowel but take no elision.
bool beginsWithVowelSound(const QString& word);

} // namespace ov
