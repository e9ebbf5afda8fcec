#include "tarnwick/yaml/node.hpp"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>

namespace tarnwick::yaml {

std::string_view kind_name(Kind kind) {
  switch (kind) {
    case Kind::Null:
      return "null";
    case Kind::Bool:
      return "boolean";
    case Kind::Int:
      return "integer";
    case Kind::Float:
      return "float";
    case Kind::Str:
      return "string";
    case Kind::Timestamp:
      return "timestamp";
    case Kind::Seq:
      return "sequence";
    case Kind::Map:
      return "mapping";
  }
  return "unknown";
}

std::string_view tag_uri(Tag tag) {
  switch (tag) {
    case Tag::Null:
      return "tag:yaml.org,2002:null";
    case Tag::Bool:
      return "tag:yaml.org,2002:bool";
    case Tag::Int:
      return "tag:yaml.org,2002:int";
    case Tag::Float:
      return "tag:yaml.org,2002:float";
    case Tag::Str:
      return "tag:yaml.org,2002:str";
    case Tag::Timestamp:
      return "tag:yaml.org,2002:timestamp";
    case Tag::Binary:
      return "tag:yaml.org,2002:binary";
    case Tag::Seq:
      return "tag:yaml.org,2002:seq";
    case Tag::Map:
      return "tag:yaml.org,2002:map";
    case Tag::Omap:
      return "tag:yaml.org,2002:omap";
    case Tag::Pairs:
      return "tag:yaml.org,2002:pairs";
    case Tag::Set:
      return "tag:yaml.org,2002:set";
    case Tag::Merge:
      return "tag:yaml.org,2002:merge";
    case Tag::Value:
      return "tag:yaml.org,2002:value";
  }
  return "";
}

bool Node::bool_value() const {
  assert(kind_ == Kind::Bool);
  return value_.b;
}

std::optional<std::int64_t> Node::int_value() const {
  assert(kind_ == Kind::Int);
  if (!int_fits_) return std::nullopt;
  return value_.i;
}

double Node::float_value() const {
  assert(kind_ == Kind::Float);
  return value_.f;
}

std::span<const Node* const> Node::items() const {
  if (kind_ != Kind::Seq) return {};
  return {children_.items, size_};
}
std::span<const Entry> Node::entries() const {
  if (kind_ != Kind::Map) return {};
  return {children_.entries, size_};
}

std::size_t Node::size() const {
  return (kind_ == Kind::Seq || kind_ == Kind::Map) ? size_ : 0;
}

const Node* Node::find(std::string_view key) const {
  for (const Entry& e : entries()) {
    if (e.key->kind_ == Kind::Str && e.key->text_ == key) return e.value;
  }
  return nullptr;
}

Document::Document() {
  root_ = make_null();
}

Node* Document::add(Kind kind, Tag tag, Mark mark) {
  if (block_used_ == block_size_) {
    // Blocks grow with the document, so small documents stay small and large ones take few.
    block_size_ = block_size_ == 0 ? 64 : std::min<std::size_t>(block_size_ * 2, 16384);
    node_blocks_.push_back(std::make_unique<Node[]>(block_size_));
    block_used_ = 0;
  }
  Node& n = node_blocks_.back()[block_used_++];
  ++node_count_;
  n.kind_ = kind;
  n.tag_ = tag;
  n.mark_ = mark;
  return &n;
}

Node* Document::make_null(Mark mark) {
  Node* n = add(Kind::Null, Tag::Null, mark);
  n->text_ = "null";
  return n;
}

Node* Document::make_bool(bool value, Mark mark) {
  Node* n = add(Kind::Bool, Tag::Bool, mark);
  n->value_.b = value;
  n->text_ = value ? "true" : "false";
  return n;
}

Node* Document::make_int(std::int64_t value, Mark mark) {
  Node* n = add(Kind::Int, Tag::Int, mark);
  n->value_.i = value;
  n->text_ = std::to_string(value);
  return n;
}

Node* Document::make_float(double value, Mark mark) {
  Node* n = add(Kind::Float, Tag::Float, mark);
  n->value_.f = value;
  if (std::isnan(value)) {
    n->text_ = "nan";
  } else if (std::isinf(value)) {
    n->text_ = value > 0 ? "inf" : "-inf";
  } else {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    n->text_.assign(buf, res.ptr);
    // Keep the text recognisable as a float, as Python's repr does ("1.0", not "1").
    if (n->text_.find_first_of(".en") == std::string::npos) n->text_ += ".0";
  }
  return n;
}

Node* Document::make_str(std::string text, Mark mark) {
  Node* n = add(Kind::Str, Tag::Str, mark);
  n->text_ = std::move(text);
  return n;
}

Node* Document::make_seq(Mark mark) {
  return add(Kind::Seq, Tag::Seq, mark);
}
Node* Document::make_map(Mark mark) {
  return add(Kind::Map, Tag::Map, mark);
}

Node* Document::make_scalar(Kind kind, Tag tag, std::string text, bool plain, Mark mark) {
  Node* n = add(kind, tag, mark);
  n->text_ = std::move(text);
  n->plain_ = plain;
  return n;
}

Node* Document::make_big_int(std::string text, Tag tag, bool plain, Mark mark) {
  Node* n = make_scalar(Kind::Int, tag, std::move(text), plain, mark);
  n->int_fits_ = false;
  return n;
}

void Document::set_int(Node* node, std::int64_t value) {
  node->value_.i = value;
  node->int_fits_ = true;
}
void Document::set_float(Node* node, double value) {
  node->value_.f = value;
}
void Document::set_bool(Node* node, bool value) {
  node->value_.b = value;
}
void Document::set_tag(Node* node, Tag tag) {
  node->tag_ = tag;
}

void* Document::allocate(std::size_t bytes) {
  bytes = (bytes + 7) & ~std::size_t{7};
  if (bytes > arena_left_) {
    constexpr std::size_t kBlock = 64 * 1024;
    // Large arrays get a block of their own, so the current block's rest is not wasted.
    if (bytes > kBlock / 4) {
      arena_blocks_.push_back(std::make_unique<std::byte[]>(bytes));
      return arena_blocks_.back().get();
    }
    arena_blocks_.push_back(std::make_unique<std::byte[]>(kBlock));
    arena_next_ = arena_blocks_.back().get();
    arena_left_ = kBlock;
  }
  void* p = arena_next_;
  arena_next_ += bytes;
  arena_left_ -= bytes;
  return p;
}

void Document::grow(Node* node, std::size_t capacity) {
  if (capacity <= node->capacity_) return;
  assert(capacity <= UINT32_MAX);
  if (node->kind_ == Kind::Seq) {
    auto* items = static_cast<const Node**>(allocate(capacity * sizeof(const Node*)));
    std::copy_n(node->children_.items, node->size_, items);
    node->children_.items = items;
  } else {
    auto* entries = static_cast<Entry*>(allocate(capacity * sizeof(Entry)));
    std::copy_n(node->children_.entries, node->size_, entries);
    node->children_.entries = entries;
  }
  // The old array stays in the arena until the document goes; appending doubles, so at most
  // as much again is left behind.
  node->capacity_ = static_cast<std::uint32_t>(capacity);
}

void Document::append(Node* seq, const Node* item) {
  assert(seq->kind_ == Kind::Seq);
  if (seq->size_ == seq->capacity_) grow(seq, std::max<std::size_t>(4, seq->capacity_ * 2ULL));
  seq->children_.items[seq->size_++] = item;
}

void Document::append_entry(Node* map, const Node* key, const Node* value) {
  assert(map->kind_ == Kind::Map);
  if (map->size_ == map->capacity_) grow(map, std::max<std::size_t>(4, map->capacity_ * 2ULL));
  map->children_.entries[map->size_++] = Entry{key, value};
}

void Document::set(Node* map, std::string key, const Node* value) {
  assert(map->kind_ == Kind::Map);
  for (std::uint32_t i = 0; i < map->size_; ++i) {
    Entry& e = map->children_.entries[i];
    if (e.key->kind_ == Kind::Str && e.key->text_ == key) {
      e.value = value;
      return;
    }
  }
  append_entry(map, make_str(std::move(key)), value);
}

void Document::reserve(Node* node, std::size_t n) {
  if (node->kind_ == Kind::Seq || node->kind_ == Kind::Map) grow(node, n);
}

void Document::set_items(Node* seq, std::span<const Node* const> items) {
  assert(seq->kind_ == Kind::Seq && seq->size_ == 0);
  if (items.empty()) return;
  grow(seq, items.size());
  std::copy(items.begin(), items.end(), seq->children_.items);
  seq->size_ = static_cast<std::uint32_t>(items.size());
}

void Document::set_entries(Node* map, std::span<const Entry> entries) {
  assert(map->kind_ == Kind::Map && map->size_ == 0);
  if (entries.empty()) return;
  grow(map, entries.size());
  std::copy(entries.begin(), entries.end(), map->children_.entries);
  map->size_ = static_cast<std::uint32_t>(entries.size());
}

}  // namespace tarnwick::yaml
