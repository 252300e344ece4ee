// Design data: the property values a window or control is built with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "String.h"

namespace kolvane {

struct Color {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(Color, Color) = default;
};

constexpr Color RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return Color{r, g, b}; }

using PropValue = std::variant<std::int32_t, bool, Color, String>;

// An ordered list of property names and values, applied in list order.
using DesignBlock = std::vector<std::pair<std::string_view, PropValue>>;

// The design values applied so far, by name; a later value of the same name wins.
class DesignValues {
 public:
  void Set(std::string_view name, const PropValue& value);
  const PropValue* Find(std::string_view name) const;
  std::int32_t Int(std::string_view name, std::int32_t fallback = 0) const;
  bool Bool(std::string_view name, bool fallback = false) const;
  String Text(std::string_view name) const;

 private:
  std::vector<std::pair<std::string, PropValue>> values_;
};

}  // namespace kolvane
