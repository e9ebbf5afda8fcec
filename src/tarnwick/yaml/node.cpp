#include "tarnwick/yaml/node.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

namespace tarnwick::yaml {

namespace {

// The words for each kind and each standard tag, in enum order: one row each.
struct KindWords {
  Kind kind;
  std::string_view name;     // "integer"
  std::string_view article;  // "an integer"
};
constexpr std::array<KindWords, 8> kKinds{{
    {Kind::Null, "null", "a null"},
    {Kind::Bool, "boolean", "a boolean"},
    {Kind::Int, "integer", "an integer"},
    {Kind::Float, "float", "a float"},
    {Kind::Str, "string", "a string"},
    {Kind::Timestamp, "timestamp", "a timestamp"},
    {Kind::Seq, "sequence", "a sequence"},
    {Kind::Map, "mapping", "a mapping"},
}};

struct TagWords {
  StandardTag tag;
  std::string_view uri;    // "tag:yaml.org,2002:int"
  std::string_view short_form;  // "!!int"
};
constexpr std::array<TagWords, 14> kTags{{
    {StandardTag::Null, "tag:yaml.org,2002:null", "!!null"},
    {StandardTag::Bool, "tag:yaml.org,2002:bool", "!!bool"},
    {StandardTag::Int, "tag:yaml.org,2002:int", "!!int"},
    {StandardTag::Float, "tag:yaml.org,2002:float", "!!float"},
    {StandardTag::Str, "tag:yaml.org,2002:str", "!!str"},
    {StandardTag::Timestamp, "tag:yaml.org,2002:timestamp", "!!timestamp"},
    {StandardTag::Binary, "tag:yaml.org,2002:binary", "!!binary"},
    {StandardTag::Seq, "tag:yaml.org,2002:seq", "!!seq"},
    {StandardTag::Map, "tag:yaml.org,2002:map", "!!map"},
    {StandardTag::Omap, "tag:yaml.org,2002:omap", "!!omap"},
    {StandardTag::Pairs, "tag:yaml.org,2002:pairs", "!!pairs"},
    {StandardTag::Set, "tag:yaml.org,2002:set", "!!set"},
    {StandardTag::Merge, "tag:yaml.org,2002:merge", "!!merge"},
    {StandardTag::Value, "tag:yaml.org,2002:value", "!!value"},
}};

constexpr bool in_enum_order() {
  for (std::size_t i = 0; i < kKinds.size(); ++i) {
    if (static_cast<std::size_t>(kKinds[i].kind) != i) return false;
  }
  for (std::size_t i = 0; i < kTags.size(); ++i) {
    if (static_cast<std::size_t>(kTags[i].tag) != i) return false;
  }
  return true;
}
static_assert(in_enum_order(), "the rows follow the enums");

}  // namespace

std::string_view kind_name(Kind kind) {
  return kKinds.at(static_cast<std::size_t>(kind)).name;
}

std::string_view article_kind(Kind kind) {
  return kKinds.at(static_cast<std::size_t>(kind)).article;
}

std::string_view tag_uri(StandardTag tag) {
  return kTags.at(static_cast<std::size_t>(tag)).uri;
}

std::string_view tag_short(StandardTag tag) {
  return kTags.at(static_cast<std::size_t>(tag)).short_form;
}

std::optional<StandardTag> tag_from_uri(std::string_view uri) {
  for (const TagWords& row : kTags) {
    if (row.uri == uri) return row.tag;
  }
  return std::nullopt;
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
  return {value_.items, size_};
}
std::span<const Entry> Node::entries() const {
  if (kind_ != Kind::Map) return {};
  return {value_.entries, size_};
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

Node* Document::Pool::next_node_slow() {
  if (block < blocks.size() && used == sizes[block]) {
    ++block;
    used = 0;
  }
  if (block == blocks.size()) {
    // Blocks grow with the document, so small documents stay small and large ones take few.
    std::size_t size = sizes.empty() ? 64 : std::min<std::size_t>(sizes.back() * 2, 16384);
    blocks.push_back(std::make_unique<Node[]>(size));
    sizes.push_back(size);
    used = 0;
  }
  return &blocks[block][used++];
}

void* Document::Pool::allocate(std::size_t bytes) {
  constexpr std::size_t kBlock = 64 * 1024;
  bytes = (bytes + 7) & ~std::size_t{7};
  // Large arrays get a block of their own, so the current block's rest is not wasted.
  if (bytes > kBlock / 4) {
    big.push_back(std::make_unique<std::byte[]>(bytes));
    return big.back().get();
  }
  if (arena_block < arena.size() && arena_used + bytes > kBlock) {
    ++arena_block;
    arena_used = 0;
  }
  if (arena_block == arena.size()) {
    arena.push_back(std::make_unique<std::byte[]>(kBlock));
    arena_used = 0;
  }
  void* p = arena[arena_block].get() + arena_used;
  arena_used += bytes;
  return p;
}

[[gnu::always_inline]] inline Node* Document::add(Kind kind, StandardTag tag, Mark mark) {
  Pool& pool = current();
  Node& n = *pool.next_node();
  ++node_count_;
  // A node of a rewound pool is reused: every field is set again; the text keeps its capacity.
  n.text_.clear();
  n.value_.items = nullptr;
  n.size_ = 0;
  n.capacity_ = 0;
  n.plain_ = false;
  n.int_fits_ = true;
  n.transient_ = &pool == &transient_;
  n.kind_ = kind;
  n.tag_ = tag;
  n.mark_ = mark;
  return &n;
}

Document::Checkpoint Document::begin_transient() {
  ++transient_depth_;
  const Pool& p = transient_;
  return {p.block, p.used, p.arena_block, p.arena_used, p.big.size()};
}

void Document::end_transient(const Checkpoint& checkpoint) {
  assert(transient_depth_ > 0);
  --transient_depth_;
  Pool& p = transient_;
  p.block = checkpoint.block;
  p.used = checkpoint.used;
  p.arena_block = checkpoint.arena_block;
  p.arena_used = checkpoint.arena_used;
  p.big.resize(checkpoint.big);
}

const Node* Document::keep(const Node* node, std::unordered_map<const Node*, const Node*>& copies) {
  if (!node->transient_) return node;
  if (auto it = copies.find(node); it != copies.end()) return it->second;
  struct Keeping {
    bool& flag;
    explicit Keeping(bool& f) : flag(f) { flag = true; }
    ~Keeping() { flag = false; }
  } keeping(keeping_);
  // Depth-first with an explicit stack (aliases can chain subtrees far deeper than the reader's
  // nesting limit); a collection is copied once all its transient children have been.
  struct Frame {
    const Node* node;
    bool children_done;
  };
  std::vector<Frame> stack{{node, false}};
  auto copy_of = [&](const Node* n) { return n->transient_ ? copies.at(n) : n; };
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const Node* n = frame.node;
    if (copies.count(n) != 0) {
      stack.pop_back();
      continue;
    }
    if (!n->is_scalar() && !frame.children_done) {
      frame.children_done = true;  // `frame` is not used again: pushing may move it
      auto push = [&](const Node* c) {
        if (c->transient_ && copies.count(c) == 0) stack.push_back({c, false});
      };
      for (const Node* item : n->items()) push(item);
      for (const Entry& e : n->entries()) {
        push(e.key);
        push(e.value);
      }
      continue;
    }
    Node* c = add(n->kind_, n->tag_, n->mark_);
    c->text_ = n->text_;
    if (n->is_scalar()) c->value_ = n->value_;  // a collection's children are its own, below
    c->plain_ = n->plain_;
    c->int_fits_ = n->int_fits_;
    if (n->is_seq() && n->size_ > 0) {
      grow(c, n->size_);
      for (std::uint32_t i = 0; i < n->size_; ++i) {
        c->value_.items[i] = copy_of(n->value_.items[i]);
      }
      c->size_ = n->size_;
    } else if (n->is_map() && n->size_ > 0) {
      grow(c, n->size_);
      for (std::uint32_t i = 0; i < n->size_; ++i) {
        const Entry& e = n->value_.entries[i];
        c->value_.entries[i] = Entry{copy_of(e.key), copy_of(e.value)};
      }
      c->size_ = n->size_;
    }
    copies.emplace(n, c);
    stack.pop_back();
  }
  return copies.at(node);
}

Node* Document::make_null(Mark mark) {
  Node* n = add(Kind::Null, StandardTag::Null, mark);
  n->text_ = "null";
  return n;
}

Node* Document::make_bool(bool value, Mark mark) {
  Node* n = add(Kind::Bool, StandardTag::Bool, mark);
  n->value_.b = value;
  n->text_ = value ? "true" : "false";
  return n;
}

Node* Document::make_int(std::int64_t value, Mark mark) {
  Node* n = add(Kind::Int, StandardTag::Int, mark);
  n->value_.i = value;
  n->text_ = std::to_string(value);
  return n;
}

Node* Document::make_float(double value, Mark mark) {
  Node* n = add(Kind::Float, StandardTag::Float, mark);
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
  Node* n = add(Kind::Str, StandardTag::Str, mark);
  n->text_ = std::move(text);
  return n;
}

Node* Document::make_seq(Mark mark) {
  return add(Kind::Seq, StandardTag::Seq, mark);
}
Node* Document::make_map(Mark mark) {
  return add(Kind::Map, StandardTag::Map, mark);
}

Node* Document::make_scalar(Kind kind, StandardTag tag, std::string_view text, bool plain,
                            Mark mark) {
  Node* n = add(kind, tag, mark);
  n->text_.assign(text);  // into a reused node's capacity when it has enough
  n->plain_ = plain;
  return n;
}

Node* Document::make_big_int(std::string_view text, StandardTag tag, bool plain, Mark mark) {
  Node* n = make_scalar(Kind::Int, tag, text, plain, mark);
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
void Document::set_tag(Node* node, StandardTag tag) {
  node->tag_ = tag;
}

void Document::grow(Node* node, std::size_t capacity) {
  if (capacity <= node->capacity_) return;
  assert(capacity <= UINT32_MAX);
  if (node->kind_ == Kind::Seq) {
    auto* items = static_cast<const Node**>(allocate(capacity * sizeof(const Node*)));
    std::copy_n(node->value_.items, node->size_, items);
    node->value_.items = items;
  } else {
    auto* entries = static_cast<Entry*>(allocate(capacity * sizeof(Entry)));
    std::copy_n(node->value_.entries, node->size_, entries);
    node->value_.entries = entries;
  }
  // The old array stays in the arena until the document goes; appending doubles, so at most
  // as much again is left behind.
  node->capacity_ = static_cast<std::uint32_t>(capacity);
}

void Document::append(Node* seq, const Node* item) {
  assert(seq->kind_ == Kind::Seq);
  if (seq->size_ == seq->capacity_) grow(seq, std::max<std::size_t>(4, seq->capacity_ * 2ULL));
  seq->value_.items[seq->size_++] = item;
}

void Document::append_entry(Node* map, const Node* key, const Node* value) {
  assert(map->kind_ == Kind::Map);
  if (map->size_ == map->capacity_) grow(map, std::max<std::size_t>(4, map->capacity_ * 2ULL));
  map->value_.entries[map->size_++] = Entry{key, value};
}

void Document::set(Node* map, std::string key, const Node* value) {
  assert(map->kind_ == Kind::Map);
  for (std::uint32_t i = 0; i < map->size_; ++i) {
    Entry& e = map->value_.entries[i];
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
  std::copy(items.begin(), items.end(), seq->value_.items);
  seq->size_ = static_cast<std::uint32_t>(items.size());
}

void Document::set_entries(Node* map, std::span<const Entry> entries) {
  assert(map->kind_ == Kind::Map && map->size_ == 0);
  if (entries.empty()) return;
  grow(map, entries.size());
  std::copy(entries.begin(), entries.end(), map->value_.entries);
  map->size_ = static_cast<std::uint32_t>(entries.size());
}

}  // namespace tarnwick::yaml
