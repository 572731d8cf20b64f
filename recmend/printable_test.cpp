#include "recmend/printable.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "recmend/repair.hpp"

namespace dbc::recmend {
namespace {

bool cleanByteByByte(const std::string& r) {
  for (std::size_t i = 0; i < r.size(); ++i) {
    if (!valid_byte(static_cast<unsigned char>(r[i]), i, r.size())) return false;
  }
  return true;
}

// Every variant must agree with the byte rule for every size up to past four vector blocks, every
// place (the overlapping last block, the mark's place, the bytes before it) and every neighbour
// of the range's edges. A variant the machine cannot run is not called.
TEST(Printable, EveryVariantAgreesWithTheByteRule) {
  struct Variant {
    const char* name;
    CleanTest test;
    bool runs;
  } variants[] = {{"words", record_is_clean_words, true},
                  {"sse2", record_is_clean_sse2, sse2_available()},
                  {"avx2", record_is_clean_avx2, avx2_available()},
                  {"chosen", record_is_clean, true}};
  const unsigned char edges[] = {0x00, 0x1F, 0x20, 0x21, 0x7E, 0x7F, 0x80, 0xFA, 0xFF, 0x09};
  std::mt19937 rng(7);
  for (std::size_t size = 1; size <= 140; ++size) {
    std::string base(size, 'a');
    for (std::size_t i = 0; i < size; ++i) base[i] = static_cast<char>(0x20 + rng() % 95);
    base.back() = static_cast<char>(END_OF_RECORD);
    for (const Variant& v : variants) {
      if (!v.runs) continue;
      ASSERT_TRUE(v.test(reinterpret_cast<const unsigned char*>(base.data()), size)) << v.name;
      for (std::size_t i = 0; i < size; ++i) {
        for (unsigned char e : edges) {
          std::string r = base;
          r[i] = static_cast<char>(e);
          ASSERT_EQ(v.test(reinterpret_cast<const unsigned char*>(r.data()), size),
                    cleanByteByByte(r))
              << v.name << " size " << size << " index " << i << " byte " << int(e);
        }
      }
    }
  }
}

}  // namespace
}  // namespace dbc::recmend
