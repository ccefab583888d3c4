#pragma once

// A set of 64-bit keys in one flat table, for counting distinct values on a per-sample path:
// a lookup costs a multiply and a few probes, and only growth allocates.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mosa_profile::detail {

class FlatSet64 {
 public:
  // Adds `key`; nothing happens when it is present.
  void insert(std::uint64_t key) {
    // A walk inserts runs of one key (a tile's consecutive samples of one group): a repeat of the
    // last key is answered without touching the table.
    if (stored_ > 0 && key == last_) return;
    last_ = key;
    if (key == empty_slot) {
      holds_empty_slot_key_ = true;
      return;
    }
    if (2 * (stored_ + 1) > slots_.size()) grow();
    if (place(slots_, key)) ++stored_;
  }

  std::size_t size() const noexcept { return stored_ + (holds_empty_slot_key_ ? 1 : 0); }

 private:
  // Marks a free slot; the key of that value is kept aside.
  static constexpr std::uint64_t empty_slot = ~std::uint64_t{0};

  // Linear probing from a Fibonacci hash; `slots` has a power-of-two size and a free slot.
  static bool place(std::vector<std::uint64_t>& slots, std::uint64_t key) {
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = static_cast<std::size_t>((key * 0x9E37'79B9'7F4A'7C15U) >> 32) & mask;;
         i = (i + 1) & mask) {
      if (slots[i] == key) return false;
      if (slots[i] == empty_slot) {
        slots[i] = key;
        return true;
      }
    }
  }

  // Doubles the table, keeping it at most half full.
  void grow() {
    std::vector<std::uint64_t> larger(slots_.empty() ? 16 : 2 * slots_.size(), empty_slot);
    for (const std::uint64_t key : slots_) {
      if (key != empty_slot) place(larger, key);
    }
    slots_.swap(larger);
  }

  std::vector<std::uint64_t> slots_;
  std::size_t stored_ = 0;
  std::uint64_t last_ = 0;  // the key inserted last, once anything is stored
  bool holds_empty_slot_key_ = false;
};

}  // namespace mosa_profile::detail
