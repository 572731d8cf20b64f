// Decoding a sorted tag back to its whole text, as the comparison reads it: the same text as
// dbc::decodeFront gives with no column limit, with each space run written a few vector stores
// at a time instead of by a call per run (a tag holds a run in front of each of its numbers).
#pragma once

#include <cstddef>
#include <string_view>

#include "common/codec.hpp"

namespace dbc::ixmark {

// Room past the text that decodeTag may write to.
inline constexpr std::size_t kTagTextSlack = 288;

// The text of the compressed bytes `record` (without its mark) at `out`, which needs room for
// that text and kTagTextSlack bytes more; returns its length.
std::size_t decodeTag(std::string_view record, const DecodeTable& t, unsigned char* out);

}  // namespace dbc::ixmark
