#pragma once
// One JSON object per output line, built field by field.
//
//   TJsonLine("state").Int("code", 2).Print();  // {"event":"state","code":2}

#include <cstdint>
#include <string>
#include <string_view>

// `s` as a JSON string literal (quotes included); ill-formed UTF-8 passes
// through as it is, control characters are escaped.
std::string JsonString(std::string_view s);

class TJsonLine {
 public:
  explicit TJsonLine(std::string_view event);

  TJsonLine& Int(std::string_view key, std::int64_t value);
  TJsonLine& Number(std::string_view key, double value);
  TJsonLine& Bool(std::string_view key, bool value);
  TJsonLine& String(std::string_view key, std::string_view value);
  // A value already in JSON form (an array or object).
  TJsonLine& Raw(std::string_view key, std::string_view json);

  std::string Text() const { return fText + "}"; }
  // Writes the line to stdout and flushes it.
  void Print() const;

 private:
  void Key(std::string_view key);
  std::string fText;
};
