// libFuzzer target over the reader of the shell's item list. A broken invariant aborts with the
// line that broke it, so that libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>

#include "frontend/itemList.h"

#define CHECK(c) ((c) ? void() : (std::fprintf(stderr, "invariant broken: %s\n", #c), std::abort()))

namespace {

using namespace itemList;

// Each item's whole list, compared by content: the views of two reads point at other bytes.
std::vector<std::vector<std::uint8_t>> Lists(const std::optional<Items>& items) {
  std::vector<std::vector<std::uint8_t>> lists;
  for (std::size_t i = 0; items && i < items->own.size(); ++i) lists.push_back(items->Absolute(i));
  return lists;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const auto items = Read(bytes);
  const auto lists = Lists(items);
  CHECK(lists.size() <= kMostItems && (!items || !lists.empty()));
  // Every whole list is a chain of IDs that ends with its zero, and within the limit.
  for (const auto& list : lists) {
    CHECK(list.size() >= 2 && list.size() <= kLongestList);
    std::size_t at = 0;
    for (std::size_t id; (id = list[at] | list[at + 1] << 8) != 0; at += id)
      CHECK(id >= 2 && list.size() - at >= id + 2);
    CHECK(at + 2 == list.size());
  }

  // Offsets are read from the start, so bytes added after the end change nothing, and a cut
  // gives the same lists or none: never some with parts missing.
  std::vector<std::uint8_t> longer(data, data + size);
  longer.resize(size + 64, 0xFF);
  if (items) CHECK(Lists(Read(longer)) == lists);
  for (std::size_t cut : {size / 2, size - size / 8}) {
    const auto shorter = Read(bytes.first(cut));
    CHECK(!shorter || Lists(shorter) == lists);
  }
  return 0;
}
