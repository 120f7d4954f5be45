#include "frontend/itemList.h"

#include <gtest/gtest.h>

#include "tests/unit/cases.h"

namespace {

// HEX's bytes (blanks between pairs for reading), with no room after them: a read past is caught.
std::vector<std::uint8_t> Bytes(const std::wstring& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; (i = hex.find_first_not_of(L' ', i)) != hex.npos; i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  bytes.shrink_to_fit();
  return bytes;
}

TEST(ItemList, EachItemsWholeListOrNothing) {
  int row = 0;
  for (const auto& c : Cases("itemList")) {
    const auto bytes = Bytes(c[0]);
    const auto items = itemList::Read(bytes);
    std::vector<std::vector<std::uint8_t>> lists, expected;
    for (std::size_t i = 0; items && i < items->own.size(); ++i)
      lists.push_back(items->Absolute(i));
    for (const auto& list : Split(c[1] == L"none" ? L"" : c[1], L" | "))
      expected.push_back(Bytes(list));
    EXPECT_EQ(items.has_value(), c[1] != L"none") << "case " << ++row;
    EXPECT_EQ(lists, expected) << "case " << row;
  }
}

}  // namespace
