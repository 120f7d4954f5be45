// Case tables kept as data: NAME.tsv in the test's case folder, one case a line, its fields between
// tabs. A line starting with # is a comment; a field "-" is empty. {tab}, {sp}, {crlf}, {U+XXXX}
// and {cN} (N copies of c) stand for what is hard to see or to type.
#pragma once

#include <cwctype>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

inline std::wstring Unescape(const std::wstring& field) {
  if (field == L"-") return L"";
  std::wstring out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const auto end = field.find(L'}', i);
    const std::wstring code = field[i] == L'{' ? field.substr(i + 1, end - i - 1) : L"";
    if (code == L"tab" || code == L"sp" || code == L"crlf") {
      out += code == L"tab" ? L"\t" : code == L"sp" ? L" " : L"\r\n";
    } else if (code.starts_with(L"U+")) {
      out += static_cast<wchar_t>(std::stoul(code.substr(2), nullptr, 16));
    } else if (code.size() > 1 && std::iswdigit(code[1])) {
      out.append(std::stoul(code.substr(1)), code[0]);
    } else {
      out += field[i];
      continue;
    }
    i = end;
  }
  return out;
}

// TEXT's parts between SEPARATORs; none of an empty text.
inline std::vector<std::wstring> Split(const std::wstring& text, const std::wstring& separator) {
  std::vector<std::wstring> parts;
  for (std::size_t at = 0, end = 0; !text.empty() && end != std::wstring::npos;
       at = end + separator.size())
    parts.push_back(text.substr(at, (end = text.find(separator, at)) - at));
  return parts;
}

inline std::vector<std::vector<std::wstring>> Cases(const std::string& name) {
  std::ifstream in(std::string(PELLORY_CASES_DIR) + "/" + name + ".tsv");
  std::vector<std::vector<std::wstring>> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    // The files are ASCII: each byte is a character.
    for (auto& field : rows.emplace_back(Split({line.begin(), line.end()}, L"\t")))
      field = Unescape(field);
  }
  if (rows.empty()) throw std::runtime_error(name + ".tsv holds no cases");
  return rows;
}
