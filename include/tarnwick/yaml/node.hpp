// The YAML node tree: what the reader produces and what the record frame consumes.
//
// A Document owns every node it holds; nodes refer to each other by plain pointers, so an
// alias is simply a second pointer to its anchored node (shared, never copied).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace tarnwick::yaml {

// A source position, 1-based. line == 0 means "unknown" (a node built by code, not read).
struct Mark {
  std::uint32_t line = 0;
  std::uint32_t column = 0;

  bool known() const { return line != 0; }
  friend bool operator==(const Mark&, const Mark&) = default;
};

enum class Kind : std::uint8_t { Null, Bool, Int, Float, Str, Timestamp, Seq, Map };

std::string_view kind_name(Kind kind);     // "null", "boolean", "integer", ... for messages
std::string_view article_kind(Kind kind);  // "a null", "a boolean", "an integer", ...

// The standard YAML 1.1 tags; nothing else is ever accepted by the reader.
enum class StandardTag : std::uint8_t {
  Null,
  Bool,
  Int,
  Float,
  Str,
  Timestamp,
  Binary,
  Seq,
  Map,
  Omap,
  Pairs,
  Set,
  Merge,
  Value,
};

std::string_view tag_uri(StandardTag tag);    // "tag:yaml.org,2002:str", ...
std::string_view tag_short(StandardTag tag);  // "!!str", for messages
// The standard tag named by a full tag URI ("tag:yaml.org,2002:int"), or nullopt.
std::optional<StandardTag> tag_from_uri(std::string_view uri);

class Node;

struct Entry {
  const Node* key;
  const Node* value;
};

class Node {
 public:
  Kind kind() const { return kind_; }
  StandardTag tag() const { return tag_; }
  Mark mark() const { return mark_; }

  bool is_null() const { return kind_ == Kind::Null; }
  bool is_scalar() const { return kind_ != Kind::Seq && kind_ != Kind::Map; }
  bool is_seq() const { return kind_ == Kind::Seq; }
  bool is_map() const { return kind_ == Kind::Map; }

  // True for an untagged, unquoted, non-block scalar read from YAML text: its kind came from the
  // YAML 1.1 implicit resolver, and text() is exactly what the author wrote.
  bool plain() const { return plain_; }

  // Scalars: the text as written (after YAML's own unescaping and folding). For nodes built by
  // code, the canonical text of the value ("true", "42", "1.5").
  const std::string& text() const { return text_; }

  // Typed values. Calling the wrong accessor for the kind is a programming error (asserted).
  bool bool_value() const;
  // Nullopt when the integer does not fit in 64 bits; text() still holds it.
  std::optional<std::int64_t> int_value() const;
  double float_value() const;

  // Sequences: the items in order. Mappings: the entries in order (merge keys already applied,
  // duplicates resolved: the later value wins, the first position is kept).
  std::span<const Node* const> items() const;
  std::span<const Entry> entries() const;
  std::size_t size() const;  // number of items or entries; 0 for scalars

  // The value of a string key in a mapping, or nullptr.
  const Node* find(std::string_view key) const;

  // True for a node in the document's transient pool (see Document::begin_transient).
  bool transient() const { return transient_; }

 private:
  friend class Document;

  // Children live in the document's arena, not in per-node vectors: one span (items for a
  // sequence, entries for a mapping) keeps a collection at no allocation of its own. A scalar has
  // a value and no children, a collection the reverse: they share their place, which keeps a node
  // at one 64-byte cache line.
  std::string text_;
  union {
    bool b;
    std::int64_t i;
    double f;
    const Node** items;
    Entry* entries;
  } value_{};
  Mark mark_;
  std::uint32_t size_ = 0;      // children held
  std::uint32_t capacity_ = 0;  // children the arena block holds
  Kind kind_ = Kind::Null;
  StandardTag tag_ = StandardTag::Null;
  bool plain_ = false;
  bool int_fits_ = true;
  bool transient_ = false;
};

// One step of a path from the root to a node: a mapping key, or the index of a sequence item.
// PathStep views the key while a document is read or built; PathPart owns it, in what is kept
// (duplicates, error locations).
struct PathStep {
  std::string_view key;  // the key's text (when !is_index)
  std::size_t index = 0;
  bool is_index = false;
};
using PathPart = std::variant<std::string, std::int64_t>;
using Path = std::vector<PathPart>;

inline PathPart owned(const PathStep& step) {
  if (step.is_index) return static_cast<std::int64_t>(step.index);
  return std::string(step.key);
}

// A key written twice in one mapping: the later value wins; both positions are kept so the
// command line can warn about the overridden setting.
struct DuplicateKey {
  std::string key;  // the key's text
  Mark first;       // position of the first occurrence
  Mark second;      // position of the occurrence that won
  Path path;        // steps leading to the mapping that holds it (document order)
};

namespace detail {
class ItemRelease;
}

class Document {
 public:
  Document();  // holds one null node as its root
  Document(Document&&) noexcept = default;
  Document& operator=(Document&&) noexcept = default;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // The document's top node; an empty stream gives a null node.
  const Node& root() const { return *root_; }
  const std::string& name() const { return name_; }  // file name, "<string>" or "<stdin>"
  const std::vector<DuplicateKey>& duplicates() const { return duplicates_; }
  std::size_t node_count() const { return node_count_; }

  // Building nodes from code (the reader uses these too). Nodes live as long as the document.
  Node* make_null(Mark mark = {});
  Node* make_bool(bool value, Mark mark = {});
  Node* make_int(std::int64_t value, Mark mark = {});
  Node* make_float(double value, Mark mark = {});
  Node* make_str(std::string text, Mark mark = {});
  Node* make_seq(Mark mark = {});
  Node* make_map(Mark mark = {});
  // A scalar with all its attributes given; `int_value` is used for Kind::Int, `float_value` for
  // Kind::Float, `bool_value` for Kind::Bool.
  Node* make_scalar(Kind kind, StandardTag tag, std::string_view text, bool plain, Mark mark);
  Node* make_big_int(std::string_view text, StandardTag tag, bool plain,
                     Mark mark);  // beyond 64 bits
  void set_int(Node* node, std::int64_t value);
  void set_float(Node* node, double value);
  void set_bool(Node* node, bool value);
  void set_tag(Node* node, StandardTag tag);

  void append(Node* seq, const Node* item);
  // Appends an entry as written; no duplicate handling (the reader does that itself).
  void append_entry(Node* map, const Node* key, const Node* value);
  // Sets a string key: replaces the value of an existing key in place, else appends.
  void set(Node* map, std::string key, const Node* value);
  void reserve(Node* node, std::size_t n);
  // All the children at once, copied into the document's arena (the reader's way: a collection
  // is written once, at its final size).
  void set_items(Node* seq, std::span<const Node* const> items);
  void set_entries(Node* map, std::span<const Entry> entries);

  void set_root(const Node* root) { root_ = root; }
  void set_name(std::string name) { name_ = std::move(name); }
  void add_duplicate(DuplicateKey dup) { duplicates_.push_back(std::move(dup)); }

 private:
  // The reader's releasing of consumed list items is the only user of the transient pool.
  friend class detail::ItemRelease;

  // Transient nodes. Between begin_transient() and the matching end_transient(), new nodes and
  // their child arrays come from a pool that end_transient() rewinds, so a subtree that has been
  // consumed while the document is still being read gives its memory back for the next one.
  // Pairs nest; nodes made outside every pair (and by keep()) last as long as the document.
  struct Checkpoint {
    std::size_t block = 0;  // node block in use, and nodes used in it
    std::size_t used = 0;
    std::size_t arena_block = 0;  // child-array block in use, and bytes used in it
    std::size_t arena_used = 0;
    std::size_t big = 0;  // separately allocated large child arrays
  };
  Checkpoint begin_transient();
  void end_transient(const Checkpoint& checkpoint);
  // A lasting copy of a transient subtree (lasting nodes are returned as they are); nodes shared
  // within it stay shared. `copies` maps transient nodes to their copies across calls.
  const Node* keep(const Node* node, std::unordered_map<const Node*, const Node*>& copies);

  // A bump allocator over blocks that are kept when rewound, so a rewound pool reuses its memory
  // (and the text capacity of its nodes) instead of asking the system again.
  struct Pool {
    std::vector<std::unique_ptr<Node[]>> blocks;
    std::vector<std::size_t> sizes;                   // nodes per block
    std::size_t block = 0;                            // block in use (blocks.size() when none yet)
    std::size_t used = 0;                             // nodes used in it
    std::vector<std::unique_ptr<std::byte[]>> arena;  // child arrays, kBlock bytes each
    std::size_t arena_block = 0;
    std::size_t arena_used = 0;
    std::vector<std::unique_ptr<std::byte[]>> big;  // child arrays too large for a block

    Node* next_node() {
      if (block < blocks.size() && used < sizes[block]) return &blocks[block][used++];
      return next_node_slow();
    }
    Node* next_node_slow();  // moves to the next block, making one when there is none
    void* allocate(std::size_t bytes);
  };

  Node* add(Kind kind, StandardTag tag, Mark mark);
  void* allocate(std::size_t bytes) { return current().allocate(bytes); }
  void grow(Node* node, std::size_t capacity);
  Pool& current() { return transient_depth_ > 0 && !keeping_ ? transient_ : lasting_; }

  Pool lasting_;
  Pool transient_;
  std::size_t transient_depth_ = 0;
  bool keeping_ = false;  // keep() is copying into the lasting pool
  std::size_t node_count_ = 0;
  const Node* root_ = nullptr;
  std::string name_ = "<string>";
  std::vector<DuplicateKey> duplicates_;
};

}  // namespace tarnwick::yaml
