// What a template makes, shared between generate calls in one process: the
// styles part compressed as zipfile compresses it, and the table its styles
// are looked up in. Only bytes and plain data are kept, never a live tree,
// keyed by every value the template gave with its exact type, and bounded:
// the least recently used entries go first.
#pragma once

#include "quillmark/package/style_table.hpp"
#include "quillmark/package/zip_container.hpp"

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace quillmark::package {

struct TemplateResults {
  std::uint64_t generation;  // of the constants the styles were made from
  Member styles;
  StyleTable table;

  std::size_t bytes() const noexcept { return styles.compressed.size() + styles.name.size() + table.bytes(); }
};

// The process's memo. Safe to use from several threads: it takes a lock of
// its own and never calls into Python while holding it.
class TemplateMemo {
 public:
  // At most this many bytes of keys and results are kept.
  static constexpr std::size_t kBound = 8u << 20;

  static TemplateMemo &shared();

  std::shared_ptr<const TemplateResults> find(const std::string &key, std::uint64_t generation);
  void store(const std::string &key, std::shared_ptr<const TemplateResults> results);

  // How much is kept, for the tests.
  std::size_t size() const;
  std::size_t bytes() const;

 private:
  struct Entry {
    std::string key;
    std::shared_ptr<const TemplateResults> results;
    std::size_t bytes;
  };
  using Position = std::list<Entry>::iterator;

  TemplateMemo() = default;
  void drop(Position entry);

  mutable std::mutex mutex_;
  std::list<Entry> recent_;  // most recently used first
  std::unordered_map<std::string, Position> index_;
  std::size_t bytes_ = 0;
};

}  // namespace quillmark::package
