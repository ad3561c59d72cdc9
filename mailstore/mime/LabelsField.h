// The labels field of an exported message: which fields hold labels, and the grammar
// of their value. The label reader and the message identity both ask here, so they
// cannot disagree on what a labels field is.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace bv::mailstore::mime {

// "X-<word>-Labels" in any case, <word> one or more ASCII letters and digits
// ("X-Brimvault-Labels").
bool IsLabelsFieldName(std::string_view name);

// The labels of a raw field value (folding kept), in order. The value is unfolded and
// decoded whole first (RFC 2047 encoded words, Q or B, any charset; adjacent words join,
// so a word may end inside a label or inside a character; other bytes are read as
// UTF-8, else windows-1252), then split at the commas that are not inside double quotes.
// Inside quotes, "" and \" stand for a quote and \\ for a backslash. Blanks around a
// label are dropped, empty labels are passed over. Appends to `out`.
void SplitLabelsValue(std::string_view rawValue, std::vector<std::string>& out);

// A label as labels are compared: without regard to case and to diacritics, and with
// compatibility forms and no-break spaces taken as their plain form ("Entwürfe",
// "ENTWURFE" -> "entwurfe"; "Catégorie\u00A0:" -> "categorie :"). UTF-8 in, UTF-8 out.
std::string FoldedLabel(std::string_view label);

}  // namespace bv::mailstore::mime
