// An index from a number (or an address) to a value, for tables built once and read often
// (the description's parse and the layout of its compiled block).
#pragma once

#include <stddef.h>

#include <vector>

// Index from a number (or an address) to a value: open addressing over one array that
// doubles when half full, so an entry costs no allocation of its own.
template <typename Key, typename Value>
class NumberIndex {
 public:
  // The value of key; NULL when none was entered.
  Value *Find(Key key) { return const_cast<Value *>(static_cast<const NumberIndex *>(this)->Find(key)); }
  const Value *Find(Key key) const
  {
    if (slots_.empty()) return nullptr;
    size_t mask = slots_.size() - 1;
    for (size_t i = Hash(key) & mask;; i = (i + 1) & mask) {
      const Slot &slot = slots_[i];
      if (!slot.used) return nullptr;
      if (slot.key == key) return &slot.value;
    }
  }
  // Makes room for one more entry; may throw std::bad_alloc (the index is unchanged then).
  void Reserve()
  {
    if ((used_ + 1) * 2 > slots_.size()) Grow();
  }
  // The value of key, entered as value when there is none yet (*added tells which). Call
  // Reserve first: Enter itself allocates nothing and never throws.
  Value *Enter(Key key, const Value &value, bool *added)
  {
    size_t mask = slots_.size() - 1;
    for (size_t i = Hash(key) & mask;; i = (i + 1) & mask) {
      Slot &slot = slots_[i];
      if (slot.used && slot.key == key) {
        *added = false;
        return &slot.value;
      }
      if (!slot.used) {
        slot = {key, value, true};
        ++used_;
        *added = true;
        return &slot.value;
      }
    }
  }

 private:
  struct Slot {
    Key key;
    Value value;
    bool used;
  };
  static size_t Hash(Key key)
  {
    auto k = static_cast<unsigned long long>(key);
    return static_cast<size_t>((k ^ (k >> 29)) * 0x9E3779B97F4A7C15ull >> 32);
  }
  void Grow()
  {
    std::vector<Slot> grown(slots_.empty() ? 64 : slots_.size() * 2, Slot{});
    size_t mask = grown.size() - 1;
    for (const Slot &slot : slots_) {
      if (!slot.used) continue;
      size_t i = Hash(slot.key) & mask;
      while (grown[i].used) i = (i + 1) & mask;
      grown[i] = slot;
    }
    slots_.swap(grown);
  }
  std::vector<Slot> slots_;
  size_t used_ = 0;
};
