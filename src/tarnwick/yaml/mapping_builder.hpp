// Closing a mapping: merged entries, duplicate keys, key equality; and the record of the keys
// written twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tarnwick/yaml/item_stream.hpp"
#include "tarnwick/yaml/node.hpp"

namespace tarnwick::yaml::detail {

// An entry as written in the mapping itself.
struct OwnEntry {
  const Node* key;
  const Node* value;
  Mark key_mark;  // where the key was written (an alias's own position for alias keys)
};

// A key written twice among a mapping's own keys.
struct Repeat {
  const Node* first_key;  // the earlier key, whose text is reported
  Mark first;
  Mark second;
};

// Builds a mapping's entries as the Python loader's dict would be: merged entries first (in
// merge order), then the mapping's own; an equal key keeps its first position and takes the
// later pair. Keys are equal when they have the same kind and value, as Python dict keys compare
// (minus the bool/int and int/float crossovers, which configuration keys never rely on). Its
// buffers are reused from one mapping to the next.
class MapBuilder {
 public:
  // The entries, valid until the next build; repeats() lists the duplicates found, in order.
  std::span<const Entry> build(std::span<const OwnEntry> own, std::span<const Node* const> sources);
  std::span<const Repeat> repeats() const { return repeats_; }

 private:
  void start(std::size_t total);
  void place(Entry e, Mark own_mark);
  std::size_t find_linear(const Node* key) const;
  std::size_t find_indexed(const Node* key, std::size_t& slot) const;
  void replace(std::size_t found, Entry e, Mark own_mark);

  std::vector<Entry> out_;
  std::vector<Mark> own_marks_;     // first own-key position per entry (unknown if merged)
  std::vector<std::size_t> index_;  // open addressing over out_ (position + 1), large mappings
  std::size_t mask_ = 0;
  bool indexed_ = false;
  std::uint64_t seen_ = 0;  // small mappings: filter over what equal keys share
  std::vector<Repeat> repeats_;
};

// The record of keys written twice, with their paths, held to Limits::max_duplicate_record_bytes.
class DuplicateLog {
 public:
  explicit DuplicateLog(std::size_t max_bytes) : max_bytes_(max_bytes) {}
  // `path` leads from the root to the mapping that holds the key.
  void record(const std::string& key, Mark first, Mark second, std::span<const PathStep> path);
  // Every record, in the order the repeated keys were written.
  std::vector<DuplicateKey> take_sorted();

 private:
  std::vector<DuplicateKey> records_;
  std::size_t max_bytes_;
  std::size_t bytes_ = 0;  // what records_ holds, against max_bytes_
};

}  // namespace tarnwick::yaml::detail
