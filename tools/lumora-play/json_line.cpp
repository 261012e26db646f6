#include "json_line.h"

#include <cmath>
#include <cstdio>

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (u < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", u);
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

TJsonLine::TJsonLine(std::string_view event) : fText("{\"event\":" + JsonString(event)) {}

void TJsonLine::Key(std::string_view key) { fText += "," + JsonString(key) + ":"; }

TJsonLine& TJsonLine::Int(std::string_view key, std::int64_t value) {
  Key(key);
  fText += std::to_string(value);
  return *this;
}

TJsonLine& TJsonLine::Number(std::string_view key, double value) {
  Key(key);
  if (!std::isfinite(value)) {
    fText += "null";
    return *this;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", value);
  fText += buf;
  return *this;
}

TJsonLine& TJsonLine::Bool(std::string_view key, bool value) {
  Key(key);
  fText += value ? "true" : "false";
  return *this;
}

TJsonLine& TJsonLine::String(std::string_view key, std::string_view value) {
  Key(key);
  fText += JsonString(value);
  return *this;
}

TJsonLine& TJsonLine::Raw(std::string_view key, std::string_view json) {
  Key(key);
  fText += json;
  return *this;
}

void TJsonLine::Print() const {
  const std::string line = Text() + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}
