#include "frontend/itemList.h"

namespace itemList {
namespace {

// Little-endian, as every Windows writes them.
std::uint32_t U32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | std::uint32_t{bytes[at + 3]} << 24;
}
std::uint16_t U16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// The list at AT, its ending zero included; nothing unless every ID and the zero lie within
// BYTES.
std::optional<std::span<const std::uint8_t>> ListAt(std::span<const std::uint8_t> bytes,
                                                    std::size_t at) {
  std::size_t end = at;
  while (end < bytes.size() && bytes.size() - end >= 2) {
    const std::uint16_t size = U16(bytes, end);
    if (size == 0) return bytes.subspan(at, end + 2 - at);
    if (size < 2) return std::nullopt;
    end += size;
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::uint8_t> Items::Absolute(std::size_t i) const {
  std::vector<std::uint8_t> list(folder.begin(), folder.end());
  list.insert(list.end(), own[i].begin(), own[i].end());
  return list;
}

std::optional<Items> Read(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 4 || bytes.size() > kLargest) return std::nullopt;
  const std::uint32_t count = U32(bytes, 0);
  // The count, then one offset for the folder and one for each item.
  if (count == 0 || count > kMostItems || bytes.size() < 4 + 4 * (std::size_t{count} + 1)) {
    return std::nullopt;
  }
  const auto folder = ListAt(bytes, U32(bytes, 4));
  if (!folder) return std::nullopt;
  Items items{folder->first(folder->size() - 2), {}};
  items.own.reserve(count);
  // Items share no bytes in a list any file manager makes; lists longer together than the bytes
  // could only share them to multiply the work. So the walks stay within twice their length.
  std::size_t total = 0;
  for (std::size_t i = 1; i <= count; ++i) {
    const auto own = ListAt(bytes, U32(bytes, 4 + 4 * i));
    if (!own || (total += own->size()) > bytes.size() ||
        items.folder.size() + own->size() > kLongestList) {
      return std::nullopt;
    }
    items.own.push_back(*own);
  }
  return items;
}

}  // namespace itemList
