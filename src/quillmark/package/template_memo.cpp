#include "quillmark/package/template_memo.hpp"

#include <iterator>

namespace quillmark::package {

TemplateMemo &TemplateMemo::shared() {
  static TemplateMemo *memo = new TemplateMemo();  // kept for the life of the process
  return *memo;
}

void TemplateMemo::drop(Position entry) {
  bytes_ -= entry->bytes;
  index_.erase(entry->key);
  recent_.erase(entry);
}

std::shared_ptr<const TemplateResults> TemplateMemo::find(const std::string &key, std::uint64_t generation) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = index_.find(key);
  if (found == index_.end()) return nullptr;
  if (found->second->results->generation != generation) {
    drop(found->second);  // made from a default template since replaced
    return nullptr;
  }
  recent_.splice(recent_.begin(), recent_, found->second);
  return found->second->results;
}

void TemplateMemo::store(const std::string &key, std::shared_ptr<const TemplateResults> results) {
  const std::size_t bytes = key.size() * 2 + results->bytes() + 64;
  if (bytes > kBound) return;
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = index_.find(key);
  if (found != index_.end()) drop(found->second);  // another thread made it too
  recent_.push_front({key, std::move(results), bytes});
  index_.emplace(key, recent_.begin());
  bytes_ += bytes;
  while (bytes_ > kBound) drop(std::prev(recent_.end()));
}

std::size_t TemplateMemo::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return recent_.size();
}

std::size_t TemplateMemo::bytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

}  // namespace quillmark::package
