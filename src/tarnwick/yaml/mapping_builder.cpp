#include "mapping_builder.hpp"

#include <algorithm>
#include <bit>
#include <functional>
#include <string_view>
#include <utility>

#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::yaml::detail {
namespace {

bool is_str_like(StandardTag t) {
  return t != StandardTag::Binary;
}

// Big integers compare by their digits: sign '+' and '_' separators do not change the value.
std::string_view big_digits_start(std::string_view t) {
  return (!t.empty() && t[0] == '+') ? t.substr(1) : t;
}

bool big_equal(std::string_view a, std::string_view b) {
  a = big_digits_start(a);
  b = big_digits_start(b);
  std::size_t i = 0, j = 0;
  while (true) {
    while (i < a.size() && a[i] == '_') ++i;
    while (j < b.size() && b[j] == '_') ++j;
    if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
    if (a[i++] != b[j++]) return false;
  }
}

bool key_equal_slow(const Node* a, const Node* b) {
  if (a->kind() != b->kind()) return false;
  switch (a->kind()) {
    case Kind::Null:
      return true;
    case Kind::Bool:
      return a->bool_value() == b->bool_value();
    case Kind::Int: {
      auto x = a->int_value(), y = b->int_value();
      if (x && y) return *x == *y;
      if (!x && !y) return big_equal(a->text(), b->text());
      return false;
    }
    case Kind::Float: {
      double x = a->float_value(), y = b->float_value();
      return x == y || (x != x && y != y);
    }
    case Kind::Str:
      return is_str_like(a->tag()) == is_str_like(b->tag()) && a->text() == b->text();
    case Kind::Timestamp:
      return a->text() == b->text();
    case Kind::Seq:
    case Kind::Map:
      return false;
  }
  return false;
}

// Most keys are distinct strings: told apart inline by kind and length before the full compare.
inline bool key_equal(const Node* a, const Node* b) {
  if (a == b) return true;
  if (a->kind() != b->kind()) return false;
  if (a->kind() == Kind::Str && a->text().size() != b->text().size()) return false;
  return key_equal_slow(a, b);
}

std::uint64_t mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

std::uint64_t key_hash(const Node* k) {
  std::uint64_t h = static_cast<std::uint64_t>(k->kind()) << 56;
  switch (k->kind()) {
    case Kind::Null:
    case Kind::Seq:
    case Kind::Map:
      break;
    case Kind::Bool:
      h ^= k->bool_value() ? 1 : 0;
      break;
    case Kind::Int:
      if (auto v = k->int_value()) {
        h ^= static_cast<std::uint64_t>(*v);
      } else {
        std::uint64_t f = 1469598103934665603ULL;  // FNV-1a over the digits
        for (char c : big_digits_start(k->text())) {
          if (c == '_') continue;
          f = (f ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        }
        h ^= f;
      }
      break;
    case Kind::Float: {
      double v = k->float_value();
      if (v != v) {
        h ^= 0x7ff8;
      } else {
        h ^= std::hash<double>{}(v == 0.0 ? 0.0 : v);
      }
      break;
    }
    case Kind::Str:
    case Kind::Timestamp:
      h ^= std::hash<std::string_view>{}(k->text());
      break;
  }
  return mix(h);
}

// One bit of a 64-bit filter over what equal keys share (kind, and a string's length and first
// byte): a small mapping skips the search for almost every key, which is new.
inline std::uint64_t filter_bit(const Node* k) {
  std::size_t h = static_cast<std::size_t>(k->kind()) * 31;
  switch (k->kind()) {
    case Kind::Str:
    case Kind::Timestamp:
      if (!k->text().empty()) h += k->text().size() * 7 + static_cast<unsigned char>(k->text()[0]);
      break;
    case Kind::Int:
      if (auto v = k->int_value()) h += static_cast<std::size_t>(*v);
      break;
    case Kind::Bool:
      h += k->bool_value() ? 1 : 0;
      break;
    default:
      break;
  }
  return std::uint64_t{1} << (h & 63);
}

}  // namespace

std::span<const Entry> MapBuilder::build(std::span<const OwnEntry> own,
                                         std::span<const Node* const> sources) {
  std::size_t total = own.size();
  for (const Node* s : sources) total += s->size();
  start(total);
  for (const Node* s : sources) {
    for (const Entry& e : s->entries()) place(e, Mark{});
  }
  for (const OwnEntry& e : own) place(Entry{e.key, e.value}, e.key_mark);
  return out_;
}

void MapBuilder::start(std::size_t total) {
  out_.clear();
  out_.reserve(total);
  own_marks_.clear();
  repeats_.clear();
  seen_ = 0;
  // Small mappings are searched directly; larger ones through an index, so that a mapping of
  // 100,000 keys stays linear.
  constexpr std::size_t kLinear = 16;
  indexed_ = total > kLinear;
  if (indexed_) {
    std::size_t cap = std::bit_ceil(total * 2);
    index_.assign(cap, 0);
    mask_ = cap - 1;
  }
}

[[gnu::always_inline]] inline void MapBuilder::place(Entry e, Mark own_mark) {
  std::size_t found = SIZE_MAX;
  std::size_t slot = 0;
  if (indexed_) {
    found = find_indexed(e.key, slot);
  } else {
    const std::uint64_t bit = filter_bit(e.key);
    const bool maybe_seen = (seen_ & bit) != 0;
    seen_ |= bit;
    if (maybe_seen) found = find_linear(e.key);
  }
  if (found != SIZE_MAX) {
    replace(found, e, own_mark);
    return;
  }
  if (indexed_) index_[slot] = out_.size() + 1;
  out_.push_back(e);
  own_marks_.push_back(own_mark);
}

inline std::size_t MapBuilder::find_linear(const Node* key) const {
  for (std::size_t j = 0; j < out_.size(); ++j) {
    if (key_equal(out_[j].key, key)) return j;
  }
  return SIZE_MAX;
}

// The entry of an equal key, or SIZE_MAX with `slot` at the free slot where the key goes.
inline std::size_t MapBuilder::find_indexed(const Node* key, std::size_t& slot) const {
  for (slot = key_hash(key) & mask_; index_[slot] != 0; slot = (slot + 1) & mask_) {
    const std::size_t j = index_[slot] - 1;
    if (key_equal(out_[j].key, key)) return j;
  }
  return SIZE_MAX;
}

// An equal key again: the later pair wins at the first position. Only a key written twice among
// the mapping's own keys is a duplicate; a merged key overridden by an own key is not.
void MapBuilder::replace(std::size_t found, Entry e, Mark own_mark) {
  if (own_mark.known()) {
    if (own_marks_[found].known()) {
      repeats_.push_back(Repeat{out_[found].key, own_marks_[found], own_mark});
    } else {
      own_marks_[found] = own_mark;
    }
  }
  out_[found] = e;
}

void DuplicateLog::record(const std::string& key, Mark first, Mark second,
                          std::span<const PathStep> path) {
  if (bytes_ >= max_bytes_) return;
  std::size_t cost = sizeof(DuplicateKey) + key.size();
  for (const PathStep& step : path) cost += sizeof(PathPart) + step.key.size();
  if (cost > max_bytes_ - bytes_) {
    bytes_ = max_bytes_;
    return;
  }
  bytes_ += cost;
  DuplicateKey d{key, first, second, {}};
  d.path.reserve(path.size());
  for (const PathStep& step : path) d.path.push_back(owned(step));
  records_.push_back(std::move(d));
}

std::vector<DuplicateKey> DuplicateLog::take_sorted() {
  // Mappings report their duplicates as they close, inner ones first; list them as written.
  std::stable_sort(records_.begin(), records_.end(), [](const auto& a, const auto& b) {
    return std::pair(a.second.line, a.second.column) < std::pair(b.second.line, b.second.column);
  });
  return std::move(records_);
}

}  // namespace tarnwick::yaml::detail
