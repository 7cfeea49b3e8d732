// The addresses an XML file that a movie loads (a level list, a playlist) names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The attribute values and the texts of `xml` (CDATA included, with leading and trailing
// white space removed and the five predefined entities replaced) that pass IsLoadableAddress,
// in the order first met and without duplicates. Comments, declarations and processing
// instructions are skipped. Never raises for malformed text: what cannot be parsed is
// passed over.
std::vector<std::string> XmlAddresses(std::string_view xml);
