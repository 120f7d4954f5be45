// Changes a program file's bytes as a case writes it: dirN=RVA,SIZE (data directory N), count=N
// (how many directories), sections=N, machine=N, magic=N, lfanew=N, text=WORDS (the whole file).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> 8 * i);
}

inline std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | bytes.at(at + i);
  return value;
}

inline void EditProgramFile(std::vector<std::uint8_t>& bytes, const std::string& change) {
  const std::string what = change.substr(0, change.find('=')),
                    value = change.substr(what.size() + 1);
  const std::size_t pe = bytes.size() > 0x40 ? Get32(bytes, 0x3C) : 0;
  const std::size_t directories =
      pe + 24 + (bytes.size() > pe + 25 && bytes[pe + 25] == 2 ? 112 : 96);
  if (what == "text") {
    bytes.assign(value.begin(), value.end());
  } else if (what.starts_with("dir")) {
    const std::size_t entry = directories + 8 * std::stoul(what.substr(3));
    Put32(bytes, entry, std::stoul(value, nullptr, 0));
    Put32(bytes, entry + 4, std::stoul(value.substr(value.find(',') + 1), nullptr, 0));
  } else {
    // The counts and offset are 32 bits, the rest 16.
    const std::size_t at = what == "count"      ? directories - 4
                           : what == "sections" ? pe + 6
                           : what == "machine"  ? pe + 4
                           : what == "lfanew"   ? 0x3C
                                                : pe + 24;
    const std::uint32_t number = std::stoul(value, nullptr, 0);
    Put32(bytes, at,
          what == "count" || what == "lfanew" ? number : (Get32(bytes, at) & 0xFFFF0000) | number);
  }
}
