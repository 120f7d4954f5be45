// The shell's item list (CFSTR_SHELLIDLIST, a CIDA): how a file manager may hand over a selection
// that it does not offer as a file list. A count, then offsets, each to a list of IDs: first the
// folder's, from the desktop, then each item's own, below the folder. Each ID starts with its size
// in bytes (its own two included), and a zero size ends a list. The bytes come from another
// process: every offset and size is checked against them and the work is bounded by their length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace itemList {

// Far beyond any selection; a list past these is no list a file manager makes. An item's whole
// list holds its path's names and a little more for each: 64 KB is many times a MAX_PATH path's.
inline constexpr std::size_t kMostItems = 100000;
inline constexpr std::size_t kLongestList = 1u << 16;
inline constexpr std::size_t kLargest = 1u << 26;

// Views into the bytes read: valid as long as they are.
struct Items {
  std::span<const std::uint8_t> folder;            // its IDs, without the ending zero
  std::vector<std::span<const std::uint8_t>> own;  // each item's IDs and the ending zero
  // Item I's whole list, from the desktop: the folder's IDs, then its own; made one at a time, as
  // the folder's IDs are repeated in each.
  std::vector<std::uint8_t> Absolute(std::size_t i) const;
};

// The items in their order; nothing for no items, a count, offset or size that reaches outside
// BYTES, a list without its ending zero, items whose lists together are longer than BYTES (they
// would have to share bytes, which only multiplies the work), or anything past the limits above.
std::optional<Items> Read(std::span<const std::uint8_t> bytes);

}  // namespace itemList
