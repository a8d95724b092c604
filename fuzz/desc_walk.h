// A reader of a relocated compiled description that trusts nothing: over the graph walk
// every link the runtime follows (item list, direct slots, value data, rule blocks with
// their sections, command groups and font lists), it checks that each one lands on a whole
// node inside the block, that texts end inside it, that lists end, that rule data is
// aligned and that every condition passes the code check. The fuzz targets run it on
// every block the validator accepts and on every block the compiler produces.
#pragma once

#include <stddef.h>

#include <string>

#include "blob/desc_blob.h"

struct DescWalkStats {
  size_t items = 0;
  size_t values = 0;
  size_t ruleBlocks = 0;
  size_t ruleEntries = 0;
  size_t judges = 0;
  size_t statements = 0;
  size_t texts = 0;
};

// TRUE when the relocated block of size bytes is safe to read throughout; otherwise
// FALSE with the first fault in *why.
bool DescWalkRelocated(const BYTE *block, size_t size, std::string *why, DescWalkStats *stats = nullptr);

// Runs the runtime's lookups over a relocated block that passed DescWalkRelocated, as a
// context holding it would: the node, type, default, values and value count of every item
// ID of the three slot ranges and of every listed node, the lookups by key, the rule block
// and per-value rule of every value, and the hide and disable judges of every value on a
// context that has the block and an evaluator stack but no option items (so item
// references end an evaluation with 0). Aborts with a message when an answer contradicts
// the block.
void DescExerciseRuntime(struct DESC_BLOB *blob, const char *target);
