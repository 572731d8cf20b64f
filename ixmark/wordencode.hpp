// Compressing a tag's key eight bytes at a time. Keys are mostly letters and long stretches of
// digits: a word of letters is copied whole and a word of digits becomes its four pair codes at
// once, with the character rules taking over only where a word mixes the two or holds spaces.
#pragma once

#include <string_view>

namespace dbc::ixmark {

// What dbc::encodeTo writes for `text`, byte for byte, with the same room needed at `out`;
// returns the end. Stretches the word tests cannot take go through dbc::encodeToken.
char* encodeWords(std::string_view text, bool ichrs, char* out);

}  // namespace dbc::ixmark
