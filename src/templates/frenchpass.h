#pragma once
// French agreement: the gender tags of element texts, the articles and forms that agree with
// them, and the post-pass of a generated line: elision (« l'épée ») and contraction (« au »,
// « du ») of a trigger word with the word that follows it. Pure functions: no store, no random
// numbers.

#include <QString>
#include <optional>

namespace ov {

// The gender tag of an element: masculine or feminine, singular or plural; None when untagged.
enum class Gender { None, M, F, MP, FP };

struct TaggedText {
    QString text; // without its tag and the blanks before it
    Gender tag = Gender::None;
};

// An element text that ends with blanks, '@' and one of m, f, mp, fp carries that tag; the tag
// alone (with or without blanks before it) is the empty text with that tag.
TaggedText splitGenderTag(const QString& element);

// The article that agrees with a tag: word is one of le, un, de, à, ce, or the same with a
// capital first letter (then so is the result). Returns nothing for any other word.
std::optional<QString> agreeingArticle(const QString& word, Gender tag);

// The form of an expanded text that agrees with a tag: its parts split at '/' are one form for
// all, masculine/feminine, or the four forms; a plural adds 's' to a form of one or two parts.
QString agreeingForm(const QString& expanded, Gender tag);

// The line with every trigger rewritten, scanned once from left to right; whether a word is a
// trigger is judged on the line as it was given, so a rewrite never makes or unmakes one.
QString frenchPostPass(const QString& line);

// Whether a word (letters only) begins with a vowel sound: a vowel, or an h that is not aspirated,
// and none of the few words that begin with a vowel but take no elision.
bool beginsWithVowelSound(const QString& word);

} // namespace ov
