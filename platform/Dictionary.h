// A map from texts to texts that keeps its keys in the order they were first stored.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Runtime.h"
#include "String.h"

namespace kolvane {

class Dictionary {
 public:
  void Clear() {
    entries_.clear();
    index_.clear();
  }
  bool HasKey(const String& key) const { return index_.count(key.Bytes()) != 0; }
  std::int32_t Count() const { return static_cast<std::int32_t>(entries_.size()); }
  // The key at index (from 0, in the order keys were first stored).
  String Key(std::int32_t index) const {
    if (index < 0 || index >= Count()) throw RuntimeException("OutOfBoundsException");
    return entries_[static_cast<std::size_t>(index)].first;
  }
  String Value(const String& key) const {
    const auto it = index_.find(key.Bytes());
    if (it == index_.end()) throw RuntimeException("KeyNotFoundException");
    return entries_[it->second].second;
  }
  // Adds the entry, or replaces the value of an equal key where it stands.
  void SetValue(const String& key, const String& value) {
    const auto [it, added] = index_.emplace(key.Bytes(), entries_.size());
    if (added) {
      entries_.emplace_back(key, value);
    } else {
      entries_[it->second].second = value;
    }
  }

 private:
  std::vector<std::pair<String, String>> entries_;
  std::unordered_map<std::string, std::size_t> index_;  // keys compare by their bytes
};

}  // namespace kolvane
