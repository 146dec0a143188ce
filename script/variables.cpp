#include "script/variables.h"

namespace vidzoscript {
namespace {

bool IsBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

size_t EntryBytes(const std::string& name, const std::string& value) {
  return 2 + name.size() + value.size();
}

}  // namespace

std::string VariableStore::NormalName(std::string_view name) {
  size_t first = 0, last = name.size();
  while (first < last && IsBlank(name[first])) ++first;
  while (last > first && IsBlank(name[last - 1])) --last;
  std::string upper(name.substr(first, last - first));
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

std::string VariableStore::Get(std::string_view name) const {
  const std::string key = NormalName(name);
  for (const auto& [n, v] : items_)
    if (n == key) return v;
  return {};
}

bool VariableStore::Set(std::string_view name, std::string_view value) {
  const std::string key = NormalName(name);
  if (key.empty()) return false;
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (it->first != key) continue;
    const size_t old_bytes = EntryBytes(it->first, it->second);
    if (value.empty()) {
      used_ -= old_bytes;
      items_.erase(it);
      return true;
    }
    const size_t new_used = used_ - old_bytes + EntryBytes(key, std::string(value));
    if (new_used > kCapacity) return false;
    it->second.assign(value);
    used_ = new_used;
    return true;
  }
  if (value.empty()) return true;
  const size_t bytes = 2 + key.size() + value.size();
  if (used_ + bytes > kCapacity) return false;
  items_.emplace_back(key, std::string(value));
  used_ += bytes;
  return true;
}

void VariableStore::Clear() {
  items_.clear();
  used_ = 0;
}

size_t VariableStack::Bytes(const Frame& frame) {
  size_t bytes = 1;
  for (const auto& [n, v] : frame) bytes += EntryBytes(n, v);
  return bytes;
}

bool VariableStack::Push(Frame frame) {
  const size_t bytes = Bytes(frame);
  if (used_ + bytes > kCapacity) return false;
  used_ += bytes;
  frames_.push_back(std::move(frame));
  return true;
}

bool VariableStack::Pop(Frame& frame) {
  if (frames_.empty()) return false;
  frame = std::move(frames_.back());
  frames_.pop_back();
  used_ -= Bytes(frame);
  return true;
}

void VariableStack::Clear() {
  frames_.clear();
  used_ = 0;
}

}  // namespace vidzoscript
