// libFuzzer target over the reader of the shell's item list. A broken invariant aborts with the
// line that broke it, so that libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>

#include "frontend/itemList.h"

#define CHECK(c) ((c) ? void() : (std::fprintf(stderr, "invariant broken: %s\n", #c), std::abort()))

using Lists = std::vector<std::vector<std::uint8_t>>;

// Each item's whole list; none when the bytes are refused (a list is never without items).
static Lists Whole(std::span<const std::uint8_t> bytes) {
  const auto items = itemList::Read(bytes);
  Lists lists;
  for (std::size_t i = 0; items && i < items->own.size(); ++i) lists.push_back(items->Absolute(i));
  CHECK(!items || !lists.empty());
  return lists;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const Lists lists = Whole(bytes);
  // Each a chain of IDs, each at least its size's two bytes, that ends with its zero.
  for (const auto& list : lists) {
    std::size_t at = 0;
    for (std::size_t id; at + 2 <= list.size() && (id = list[at] | list[at + 1] << 8); at += id)
      CHECK(id >= 2);
    CHECK(at + 2 == list.size() && list.size() <= itemList::kLongestList);
  }
  // Offsets count from the start, so bytes added after the end change nothing, and a cut gives
  // the same lists or none: never some with parts missing.
  std::vector<std::uint8_t> longer(data, data + size);
  longer.resize(size + 64, 0xFF);
  CHECK(lists.empty() || Whole(longer) == lists);
  for (std::size_t cut : {size / 2, size - size / 8}) {
    const Lists shorter = Whole(bytes.first(cut));
    CHECK(shorter.empty() || shorter == lists);
  }
  return 0;
}
