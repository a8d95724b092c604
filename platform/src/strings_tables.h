// Case mappings and letter ranges of the Basic Multilingual Plane (generated into
// strings_tables.cpp by scripts/gen_string_tables.py).
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace plat {
namespace str {

struct CasePair {
  uint16_t from;
  uint16_t to;
};
struct CaseRange {
  uint16_t first;
  uint16_t last;
};

// Sorted by from: the characters that change under CharUpperW / CharLowerW.
extern const CasePair kUpperPairs[];
extern const size_t kUpperPairsCount;
extern const CasePair kLowerPairs[];
extern const size_t kLowerPairsCount;
// Sorted, disjoint ranges of letters (IsCharAlphaW).
extern const CaseRange kAlphaRanges[];
extern const size_t kAlphaRangesCount;

}  // namespace str
}  // namespace plat
