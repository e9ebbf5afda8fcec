#include "tarnwick/yaml/reader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <yaml.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <new>
#include <stdexcept>
#include <span>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tarnwick/yaml/resolver.hpp"

namespace tarnwick::yaml {
namespace {

std::string render(const std::string& problem, const std::string& file, Mark mark) {
  std::string out = file;
  if (mark.known()) {
    out += ':' + std::to_string(mark.line) + ':' + std::to_string(mark.column);
  }
  out += ": ";
  out += problem;
  return out;
}

std::string at(Mark mark) {
  return "line " + std::to_string(mark.line) + ", column " + std::to_string(mark.column);
}

// A scalar's text for a message: quoted, and cut short on a character boundary.
std::string quoted(std::string_view text) {
  constexpr std::size_t kMax = 40;
  std::string out = "\"";
  if (text.size() <= kMax) {
    out += text;
  } else {
    std::size_t cut = kMax;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    out += text.substr(0, cut);
    out += "...";
  }
  return out + "\"";
}

// How a tag is written, for messages: !!name for the standard prefix, !local, or !<verbatim>.
std::string written_tag(std::string_view uri) {
  constexpr std::string_view kStd = "tag:yaml.org,2002:";
  if (uri.substr(0, kStd.size()) == kStd) return "!!" + std::string(uri.substr(kStd.size()));
  if (!uri.empty() && uri[0] == '!') return std::string(uri);
  return "!<" + std::string(uri) + ">";
}

std::string_view article_kind(Kind kind) {
  switch (kind) {
    case Kind::Null:
      return "a null";
    case Kind::Bool:
      return "a boolean";
    case Kind::Int:
      return "an integer";
    case Kind::Float:
      return "a float";
    case Kind::Str:
      return "a string";
    case Kind::Timestamp:
      return "a timestamp";
    case Kind::Seq:
      return "a sequence";
    case Kind::Map:
      return "a mapping";
  }
  return "a node";
}

std::size_t sat_add(std::size_t a, std::size_t b) {
  std::size_t r;
  return __builtin_add_overflow(a, b, &r) ? SIZE_MAX : r;
}

std::size_t sat_mul(std::size_t a, std::size_t b) {
  std::size_t r;
  return __builtin_mul_overflow(a, b, &r) ? SIZE_MAX : r;
}

// ---------------------------------------------------------------------------------------------
// Mapping keys: equal when they have the same kind and value, as Python dict keys compare (minus
// the bool/int and int/float crossovers, which configuration keys never rely on).

bool is_str_like(Tag t) {
  return t != Tag::Binary;
}

bool key_equal_slow(const Node* a, const Node* b);

// Most keys are distinct strings: told apart inline by kind and length before the full compare.
inline bool key_equal(const Node* a, const Node* b) {
  if (a == b) return true;
  if (a->kind() != b->kind()) return false;
  if (a->kind() == Kind::Str && a->text().size() != b->text().size()) return false;
  return key_equal_slow(a, b);
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

// ---------------------------------------------------------------------------------------------
// libyaml handles, released on every path.

class Parser {
 public:
  explicit Parser(std::string_view input) {
    if (!yaml_parser_initialize(&parser_)) throw std::bad_alloc();
    // libyaml asserts on a null buffer, which an empty string_view may have.
    static const unsigned char kEmpty[1] = {0};
    const unsigned char* data =
        input.empty() ? kEmpty : reinterpret_cast<const unsigned char*>(input.data());
    yaml_parser_set_input_string(&parser_, data, input.size());
  }
  ~Parser() { yaml_parser_delete(&parser_); }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  yaml_parser_t* get() { return &parser_; }

 private:
  yaml_parser_t parser_;
};

struct Event {
  // yaml_parser_parse clears the event itself before anything else, on success or failure.
  yaml_event_t event;
  Event() = default;
  ~Event() { yaml_event_delete(&event); }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
};

std::string_view chars(const yaml_char_t* s) {
  return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

struct StringHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// ---------------------------------------------------------------------------------------------
// The reader: one pass over libyaml's events with an explicit stack of open collections, so the
// depth of the input never reaches the C++ stack.

class Reader {
 public:
  Reader(std::string_view input, std::string name, ItemSink* sink) : input_(input), sink_(sink) {
    doc_.set_name(std::move(name));
    if (sink_ != nullptr) {
      if (sink_->paths().size() > 8) throw std::invalid_argument("an ItemSink has at most 8 paths");
      taken_ = doc_.make_null();
    }
  }

  Document run();

 private:
  struct Anchor {
    const Node* node;
    std::size_t expanded;  // nodes in the tree the anchored node stands for
    Mark mark;
    bool complete;  // false while the anchored collection is still open
    // Scalar text in the tree it stands for.
    std::size_t text_bytes = 0;
  };

  struct Frame {
    Node* node;
    Anchor* anchor;           // the collection's own anchor, or null
    std::size_t begin;        // its first item or entry on the scratch stack
    std::size_t merge_begin;  // its first merge source on merges_
    std::size_t expanded = 1;
    std::size_t count = 0;      // children completed (sequence index for paths)
    const Node* key = nullptr;  // mapping: the key awaiting its value
    Mark key_mark;
    bool key_is_merge = false;
    bool merge_seq = false;  // sequence written as the value of a merge key
    // Scalar text of its children so far, aliases expanded.
    std::size_t text_bytes = 0;
    // The sink's paths that lead here (bit i: paths()[i] matches the steps down to this frame).
    std::uint8_t match = 0;
    // A sequence whose items the sink takes. Its last `pending` items are complete and not yet
    // handed over; item_open while items are being read into the transient pool (from
    // item_checkpoint on, their anchors from item_anchors on, from the document's batch_nodes-th
    // node on). A batched sequence hands its items over a few at a time, so that building one item
    // after another keeps the builder's code in the instruction cache (taking turns with the
    // parser at every item evicted both); the others hand over each item at once.
    bool taken = false;
    bool batched = false;
    bool item_open = false;
    std::uint32_t pending = 0;
    Document::Checkpoint item_checkpoint;
    std::size_t item_anchors = 0;
    std::size_t batch_nodes = 0;
  };

  struct OwnEntry {
    const Node* key;
    const Node* value;
    Mark key_mark;  // where the key was written (an alias's own position for alias keys)
  };

  [[noreturn]] void fail(std::string problem, Mark mark) const {
    throw YamlError(std::move(problem), doc_.name(), mark);
  }
  [[noreturn]] void fail_parser(const yaml_parser_t& p) const;

  static Mark mark_of(const yaml_mark_t& m) {
    return Mark{static_cast<std::uint32_t>(m.line + 1), static_cast<std::uint32_t>(m.column + 1)};
  }
  Mark mark_at_offset(std::size_t offset) const;
  std::size_t offset_of(Mark mark) const;

  bool expecting_key() const {
    return !frames_.empty() && frames_.back().node->is_map() && frames_.back().key == nullptr;
  }
  bool in_merge_value() const {
    if (frames_.empty()) return false;
    const Frame& f = frames_.back();
    return f.node->is_map() ? (f.key != nullptr && f.key_is_merge) : f.merge_seq;
  }

  void on_scalar(const yaml_event_t& e);
  void on_alias(const yaml_event_t& e);
  void on_start(const yaml_event_t& e, bool is_map);
  void on_end();
  Tag collection_tag(const yaml_char_t* tag, bool is_map, Mark mark) const;
  Node* make_scalar(const ResolvedScalar& r, std::string_view text, bool plain, Mark mark);
  Anchor* define_anchor(const yaml_char_t* name, const Node* node, Mark mark, bool complete);
  void add_child(const Node* n, std::size_t expanded, Mark mark, bool alias);
  void add_merge(Frame& f, const Node* n, std::size_t expanded, Mark mark, bool alias);
  void finish_seq(const Frame& f);
  void finish_map(const Frame& f);
  // Every node is charged: the common case (well inside the floor budget) stays inline.
  void charge(std::size_t amount, Mark mark) {
    expanded_total_ = sat_add(expanded_total_, amount);
    if (expanded_total_ > kMinExpansionBudget) charge_beyond_floor(mark);
  }
  void charge_beyond_floor(Mark mark);
  void charge_text(std::size_t bytes, Mark mark);
  void note_text(std::size_t bytes) {
    if (!frames_.empty()) frames_.back().text_bytes = sat_add(frames_.back().text_bytes, bytes);
  }
  void record_duplicate(const std::string& key, Mark first, Mark second);
  std::uint8_t child_match(const Frame& parent) const;
  struct PathEnds {
    bool here = false;
    bool below = false;
  };
  PathEnds path_ends(std::uint8_t match, std::size_t depth) const;
  void hand_over(Frame& f);

  std::string_view input_;
  ItemSink* sink_;
  const Node* taken_ = nullptr;  // what a taken item leaves in the tree
  std::size_t anchored_open_ = 0;  // open collections that carry an anchor
  std::vector<Anchor*> transient_anchors_;  // anchors defined inside transient items
  std::unordered_map<const Node*, const Node*> kept_;
  std::vector<PathStep> path_;
  Document doc_;
  const Node* root_ = nullptr;
  std::vector<Frame> frames_;
  // Children of open collections, stacked; a collection takes its slice when it closes, so each
  // node's vector is allocated once at its final size.
  std::vector<const Node*> items_;
  std::vector<OwnEntry> entries_;
  std::vector<const Node*> merges_;  // merge sources of open mappings, in merge order
  // A batch of a batched sequence ends at this many items, or once it has read this many nodes.
  static constexpr std::uint32_t kBatchItems = 16;
  static constexpr std::size_t kBatchNodes = 2048;
  std::unordered_map<std::string, Anchor, StringHash, std::equal_to<>> anchors_;
  std::size_t expanded_total_ = 0;
  std::size_t aliased_text_ = 0;  // text bytes repeated by aliases, against the text budget
  std::vector<DuplicateKey> duplicates_;
  std::size_t duplicate_bytes_ = 0;  // what duplicates_ holds, against kMaxDuplicateRecordBytes
  // Reused by finish_map: first own-key position per entry, and an open-addressing index.
  std::vector<Mark> own_marks_;
  std::vector<std::size_t> index_;
  std::vector<Entry> map_out_;  // the closing mapping's entries, before they go to the arena
};

Document Reader::run() {
  Parser parser(input_);
  int documents = 0;
  for (bool done = false; !done;) {
    Event ev;
    if (!yaml_parser_parse(parser.get(), &ev.event)) fail_parser(*parser.get());
    const yaml_event_t& e = ev.event;
    switch (e.type) {
      case YAML_DOCUMENT_START_EVENT:
        if (documents++ > 0) {
          fail("expected a single document in the stream, but found another document",
               mark_of(e.start_mark));
        }
        break;
      case YAML_SCALAR_EVENT:
        on_scalar(e);
        break;
      case YAML_ALIAS_EVENT:
        on_alias(e);
        break;
      case YAML_SEQUENCE_START_EVENT:
        on_start(e, false);
        break;
      case YAML_MAPPING_START_EVENT:
        on_start(e, true);
        break;
      case YAML_SEQUENCE_END_EVENT:
      case YAML_MAPPING_END_EVENT:
        on_end();
        break;
      case YAML_STREAM_END_EVENT:
      case YAML_NO_EVENT:
        done = true;
        break;
      case YAML_STREAM_START_EVENT:
      case YAML_DOCUMENT_END_EVENT:
        break;
    }
  }
  if (root_) doc_.set_root(root_);
  // Mappings report their duplicates as they close, inner ones first; list them as written.
  std::stable_sort(duplicates_.begin(), duplicates_.end(), [](const auto& a, const auto& b) {
    return std::pair(a.second.line, a.second.column) < std::pair(b.second.line, b.second.column);
  });
  for (DuplicateKey& d : duplicates_) doc_.add_duplicate(std::move(d));
  return std::move(doc_);
}

void Reader::fail_parser(const yaml_parser_t& p) const {
  std::string problem = p.problem ? p.problem : "cannot parse the document";
  switch (p.error) {
    case YAML_MEMORY_ERROR:
      throw std::bad_alloc();
    case YAML_READER_ERROR: {
      // libyaml gives reader faults (bad encoding, control characters) as a byte offset only.
      if (p.problem_value != -1) {
        char buf[16];
        std::snprintf(buf, sizeof buf, " (#x%02X)", static_cast<unsigned>(p.problem_value));
        problem += buf;
      }
      fail(std::move(problem), mark_at_offset(p.problem_offset));
    }
    default:
      break;
  }
  Mark mark = mark_of(p.problem_mark);
  if (p.context) {
    problem = std::string(p.context) + " at " + at(mark_of(p.context_mark)) + ": " + problem;
  }
  std::size_t off = offset_of(mark);
  if (off < input_.size() && input_[off] == '\t') {
    problem += " (a tab cannot be used for indentation; use spaces)";
  }
  fail(std::move(problem), mark);
}

Mark Reader::mark_at_offset(std::size_t offset) const {
  Mark m{1, 1};
  offset = std::min(offset, input_.size());
  for (std::size_t i = 0; i < offset; ++i) {
    char c = input_[i];
    if (c == '\n' || (c == '\r' && (i + 1 >= input_.size() || input_[i + 1] != '\n'))) {
      ++m.line;
      m.column = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && c != '\r') {
      ++m.column;
    }
  }
  return m;
}

std::size_t Reader::offset_of(Mark mark) const {
  std::size_t i = 0;
  for (std::uint32_t line = 1; line < mark.line && i < input_.size(); ++i) {
    if (input_[i] == '\n' ||
        (input_[i] == '\r' && (i + 1 >= input_.size() || input_[i + 1] != '\n'))) {
      ++line;
    }
  }
  for (std::uint32_t col = 1; col < mark.column && i < input_.size(); ++col) {
    ++i;
    while (i < input_.size() && (static_cast<unsigned char>(input_[i]) & 0xC0) == 0x80) ++i;
  }
  return i;
}

void Reader::charge_beyond_floor(Mark mark) {
  std::size_t nodes = doc_.node_count();
  std::size_t limit = std::max(kMinExpansionBudget, sat_mul(kExpansionFactor, nodes));
  // Refused as soon as it happens, so that neither time nor memory ever follows the expansion.
  if (expanded_total_ > limit) {
    fail("document expands through aliases to more than " + std::to_string(limit) +
             " nodes (limit: max(" + std::to_string(kMinExpansionBudget) + ", " +
             std::to_string(kExpansionFactor) + " x the " + std::to_string(nodes) +
             " nodes read so far))",
         mark);
  }
}

// Aliases share text, but whatever copies values (records, messages) copies it once per use, so
// the text that aliases repeat is held to a multiple of the document's size too.
void Reader::charge_text(std::size_t bytes, Mark mark) {
  aliased_text_ = sat_add(aliased_text_, bytes);
  std::size_t limit = std::max(kMinAliasedTextBytes, sat_mul(kExpansionFactor, input_.size()));
  if (aliased_text_ > limit) {
    fail("document expands through aliases to more than " + std::to_string(limit) +
             " bytes of text (limit: max(" + std::to_string(kMinAliasedTextBytes) + ", " +
             std::to_string(kExpansionFactor) + " x the " + std::to_string(input_.size()) +
             " bytes of the document))",
         mark);
  }
}

Reader::Anchor* Reader::define_anchor(const yaml_char_t* name, const Node* node, Mark mark,
                                      bool complete) {
  auto [it, inserted] =
      anchors_.try_emplace(std::string(chars(name)), Anchor{node, 1, mark, complete});
  if (!inserted) {
    // As the Python loader does: a reused anchor name would make aliases ambiguous to readers.
    fail("found duplicate anchor &" + it->first + "; first occurrence at " + at(it->second.mark),
         mark);
  }
  if (node->transient()) transient_anchors_.push_back(&it->second);
  return &it->second;
}

Node* Reader::make_scalar(const ResolvedScalar& r, std::string_view text, bool plain, Mark mark) {
  if (r.kind == Kind::Int && r.big) return doc_.make_big_int(text, r.tag, plain, mark);
  Node* n = doc_.make_scalar(r.kind, r.tag, text, plain, mark);
  switch (r.kind) {
    case Kind::Int:
      doc_.set_int(n, r.integer);
      break;
    case Kind::Float:
      doc_.set_float(n, r.real);
      break;
    case Kind::Bool:
      doc_.set_bool(n, r.boolean);
      break;
    default:
      break;
  }
  return n;
}

void Reader::on_scalar(const yaml_event_t& e) {
  const auto& s = e.data.scalar;
  Mark mark = mark_of(e.start_mark);
  if (s.length > kMaxScalarBytes) {
    fail("scalar of " + std::to_string(s.length) + " bytes is longer than the limit of " +
             std::to_string(kMaxScalarBytes) + " bytes",
         mark);
  }
  std::string_view text(reinterpret_cast<const char*>(s.value), s.length);
  bool key = expecting_key();
  ResolvedScalar r;  // a string unless resolved otherwise
  bool plain = false;
  std::string_view tag = chars(s.tag);
  if (s.tag == nullptr) {
    if (s.style == YAML_PLAIN_SCALAR_STYLE) {
      r = resolve_plain(text);
      plain = true;
      // `<<` merges only as a key; elsewhere it is just text.
      if (r.tag == Tag::Merge && !key) r.tag = Tag::Str;
      if (!r.ok()) {
        fail("cannot read " + quoted(text) + " as " + std::string(article_kind(r.kind)) + ": " +
                 std::string(r.error),
             mark);
      }
    }
  } else if (tag != "!") {  // a bare `!` tag makes a string
    std::optional<Tag> t = tag_from_uri(tag);
    if (!t) {
      fail("tag " + written_tag(tag) + " is not allowed: only standard YAML tags are accepted",
           mark);
    }
    switch (*t) {
      case Tag::Seq:
      case Tag::Map:
      case Tag::Omap:
      case Tag::Pairs:
      case Tag::Set:
        fail("tag " + std::string(tag_short(*t)) + " cannot be used on a scalar", mark);
      case Tag::Merge:
        if (!key) fail("tag !!merge can only be used on a mapping key", mark);
        break;
      default:
        break;
    }
    r = resolve_tagged(*t, text);
    if (!r.ok()) {
      fail("cannot read " + quoted(text) + " as " + std::string(tag_short(*t)) + ": " +
               std::string(r.error),
           mark);
    }
  }
  Node* n = make_scalar(r, text, plain, mark);
  charge(1, mark);
  if (s.anchor) define_anchor(s.anchor, n, mark, true)->text_bytes = text.size();
  note_text(text.size());
  add_child(n, 1, mark, false);
}

void Reader::on_alias(const yaml_event_t& e) {
  Mark mark = mark_of(e.start_mark);
  std::string_view name = chars(e.data.alias.anchor);
  auto it = anchors_.find(name);
  if (it == anchors_.end()) fail("found undefined alias *" + std::string(name), mark);
  const Anchor& a = it->second;
  if (!a.complete) {
    fail("alias *" + std::string(name) + " refers to anchor &" + std::string(name) + " at " +
             at(a.mark) + ", which encloses it: recursive structures are not allowed",
         mark);
  }
  charge_text(a.text_bytes, mark);
  note_text(a.text_bytes);
  add_child(a.node, a.expanded, mark, true);
}

Tag Reader::collection_tag(const yaml_char_t* tag, bool is_map, Mark mark) const {
  Tag def = is_map ? Tag::Map : Tag::Seq;
  std::string_view uri = chars(tag);
  if (tag == nullptr || uri == "!") return def;
  std::optional<Tag> t = tag_from_uri(uri);
  if (!t) {
    fail("tag " + written_tag(uri) + " is not allowed: only standard YAML tags are accepted", mark);
  }
  bool fits = is_map ? (*t == Tag::Map || *t == Tag::Set)
                     : (*t == Tag::Seq || *t == Tag::Omap || *t == Tag::Pairs);
  if (!fits) {
    fail("tag " + std::string(tag_short(*t)) + " cannot be used on " +
             (is_map ? "a mapping" : "a sequence"),
         mark);
  }
  return *t;
}

void Reader::on_start(const yaml_event_t& e, bool is_map) {
  Mark mark = mark_of(e.start_mark);
  if (frames_.size() >= kMaxDepth) {
    fail("collections are nested deeper than the limit of " + std::to_string(kMaxDepth) + " levels",
         mark);
  }
  if (expecting_key()) {
    fail(std::string("found unhashable key: ") + (is_map ? "a mapping" : "a sequence") +
             " cannot be a mapping key",
         mark);
  }
  const yaml_char_t* tag = is_map ? e.data.mapping_start.tag : e.data.sequence_start.tag;
  const yaml_char_t* anchor = is_map ? e.data.mapping_start.anchor : e.data.sequence_start.anchor;
  Tag t = collection_tag(tag, is_map, mark);
  bool merge_value = in_merge_value();
  if (merge_value && !frames_.back().node->is_map() && !is_map) {
    fail("expected a mapping for merging, but found a sequence", mark);
  }
  std::uint8_t match = 0;
  if (sink_ != nullptr) {
    if (frames_.empty()) {
      match = static_cast<std::uint8_t>((1U << sink_->paths().size()) - 1);
    } else {
      Frame& parent = frames_.back();
      match = child_match(parent);
      if (parent.taken && !parent.item_open) {
        parent.item_checkpoint = doc_.begin_transient();
        parent.item_anchors = transient_anchors_.size();
        parent.batch_nodes = doc_.node_count();
        parent.item_open = true;
      }
    }
  }
  Node* n = is_map ? doc_.make_map(mark) : doc_.make_seq(mark);
  if (t != (is_map ? Tag::Map : Tag::Seq)) doc_.set_tag(n, t);
  charge(1, mark);
  Frame f{};
  f.node = n;
  f.anchor = anchor ? define_anchor(anchor, n, mark, false) : nullptr;
  if (f.anchor != nullptr) ++anchored_open_;
  f.match = match;
  if (!is_map && t == Tag::Seq && anchored_open_ == 0 && !merge_value && match != 0) {
    const PathEnds ends = path_ends(match, frames_.size());
    f.taken = ends.here;
    f.batched = ends.here && !ends.below;
  }
  f.begin = is_map ? entries_.size() : items_.size();
  f.merge_begin = merges_.size();
  f.merge_seq = !is_map && merge_value;
  frames_.push_back(f);
}

void Reader::on_end() {
  if (frames_.back().pending > 0) hand_over(frames_.back());
  const Frame& f = frames_.back();
  if (f.node->is_map()) {
    finish_map(f);
  } else {
    finish_seq(f);
  }
  Node* const node = f.node;
  Anchor* const anchor = f.anchor;
  const std::size_t expanded = f.expanded;
  const std::size_t text_bytes = f.text_bytes;
  frames_.pop_back();
  if (anchor) {
    --anchored_open_;
    anchor->complete = true;
    anchor->expanded = expanded;
    anchor->text_bytes = text_bytes;
  }
  note_text(text_bytes);
  add_child(node, expanded, node->mark(), false);
}

void Reader::add_child(const Node* n, std::size_t expanded, Mark mark, bool alias) {
  if (frames_.empty()) {
    if (alias) charge(expanded, mark);
    root_ = n;
    return;
  }
  Frame& f = frames_.back();
  ++f.count;
  if (f.node->is_seq()) {
    if (f.merge_seq) {
      if (!n->is_map()) {
        fail("expected a mapping for merging, but found " + std::string(article_kind(n->kind())),
             mark);
      }
      // Its entries are copied into the enclosing mapping: the copy is what costs.
      charge(expanded - 1, mark);
    } else if (alias) {
      charge(expanded, mark);
    }
    items_.push_back(n);
    f.expanded = sat_add(f.expanded, expanded);
    if (f.taken) {
      ++f.pending;
      if (!f.batched || f.pending >= kBatchItems ||
          doc_.node_count() - f.batch_nodes >= kBatchNodes) {
        hand_over(f);
      }
    }
    return;
  }
  if (f.key == nullptr) {
    if (!n->is_scalar()) {
      fail("found unhashable key: " + std::string(article_kind(n->kind())) +
               " cannot be a mapping key",
           mark);
    }
    f.key = n;
    f.key_mark = mark;
    f.key_is_merge = n->tag() == Tag::Merge;
    if (!f.key_is_merge) {
      if (alias) charge(expanded, mark);
      f.expanded = sat_add(f.expanded, expanded);
    }
    return;
  }
  if (f.key_is_merge) {
    add_merge(f, n, expanded, mark, alias);
  } else {
    if (alias) charge(expanded, mark);
    entries_.push_back(OwnEntry{f.key, n, f.key_mark});
    f.expanded = sat_add(f.expanded, expanded);
  }
  f.key = nullptr;
  f.key_is_merge = false;
}

void Reader::add_merge(Frame& f, const Node* n, std::size_t expanded, Mark mark, bool alias) {
  std::size_t copied = 0;  // nodes the merged entries stand for
  if (n->is_map()) {
    merges_.push_back(n);
    copied = expanded - 1;
    charge(copied, mark);
  } else if (n->is_seq()) {
    auto items = n->items();
    copied = expanded - 1 - items.size();
    if (alias) {
      // Each use walks the items, so they are charged too, even empty ones.
      charge(expanded - 1, mark);
      for (const Node* item : items) {
        if (!item->is_map()) {
          fail("expected a mapping for merging, but found " +
                   std::string(article_kind(item->kind())),
               item->mark());
        }
      }
    }
    // Earlier mappings win: they are merged last.
    for (auto it = items.rbegin(); it != items.rend(); ++it) merges_.push_back(*it);
  } else {
    fail("expected a mapping or list of mappings for merging, but found " +
             std::string(article_kind(n->kind())),
         mark);
  }
  f.expanded = sat_add(f.expanded, copied);
}

// The sink's paths that still match one step further down, under `parent`'s pending key or next
// item.
std::uint8_t Reader::child_match(const Frame& parent) const {
  if (parent.match == 0) return 0;
  const std::size_t depth = frames_.size() - 1;  // parent's depth: the step to match
  const auto& paths = sink_->paths();
  std::uint8_t out = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if ((parent.match & (1U << i)) == 0 || paths[i].size() <= depth) continue;
    std::string_view step = paths[i][depth];
    bool ok;
    if (parent.node->is_map()) {
      ok = parent.key != nullptr && !parent.key_is_merge && parent.key->kind() == Kind::Str &&
           step != "*" && parent.key->text() == step;
    } else {
      ok = step == "*" && !parent.merge_seq;
    }
    if (ok) out = static_cast<std::uint8_t>(out | (1U << i));
  }
  return out;
}

// For a sequence at `depth` with these matching paths: whether one of them ends there (the sink
// takes its items), and whether one goes on below it (into its items).
Reader::PathEnds Reader::path_ends(std::uint8_t match, std::size_t depth) const {
  PathEnds out;
  if (sink_ == nullptr) return out;
  const auto& paths = sink_->paths();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if ((match & (1U << i)) == 0) continue;
    out.here = out.here || paths[i].size() == depth;
    out.below = out.below || paths[i].size() > depth;
  }
  return out;
}

// Hands the pending items of a taken sequence (the top frame) to the sink, in order, and leaves a
// null in the place of each; what was read into the transient pool is then released (its anchors
// kept).
void Reader::hand_over(Frame& f) {
  path_.clear();
  for (const Frame& g : frames_) {
    if (g.node->is_map()) {
      path_.push_back(PathStep{g.key->text(), 0, false});
    } else {
      path_.push_back(PathStep{{}, g.count, true});
    }
  }
  const std::size_t first = items_.size() - f.pending;
  for (std::size_t i = first; i < items_.size(); ++i) {
    path_.back().index = f.count - (items_.size() - i);
    sink_->take(*f.node, path_, *items_[i]);
    items_[i] = taken_;
  }
  f.pending = 0;
  if (!f.item_open) return;  // scalars and aliases only: nothing of their own to release
  for (std::size_t i = f.item_anchors; i < transient_anchors_.size(); ++i) {
    transient_anchors_[i]->node = doc_.keep(transient_anchors_[i]->node, kept_);
  }
  transient_anchors_.resize(f.item_anchors);
  // Copies are looked up by transient address, which the next items reuse.
  kept_.clear();
  doc_.end_transient(f.item_checkpoint);
  f.item_open = false;
}

void Reader::finish_seq(const Frame& f) {
  std::span<const Node* const> items(items_.data() + f.begin, items_.size() - f.begin);
  if (f.node->tag() == Tag::Omap || f.node->tag() == Tag::Pairs) {
    for (const Node* item : items) {
      if (!item->is_map() || item->size() != 1) {
        fail("expected a mapping of one key in " + std::string(tag_short(f.node->tag())) +
                 ", but found " +
                 (item->is_map() ? "a mapping of " + std::to_string(item->size()) + " keys"
                                 : std::string(article_kind(item->kind()))),
             item->mark());
      }
    }
  }
  doc_.set_items(f.node, items);
  items_.resize(f.begin);
}

// Builds the mapping's entries as the Python loader's dict would be: merged entries first (in
// merge order), then the mapping's own; an equal key keeps its first position and takes the
// later pair. Only a key written twice among the mapping's own keys is a duplicate.
void Reader::finish_map(const Frame& f) {
  std::span<const OwnEntry> own(entries_.data() + f.begin, entries_.size() - f.begin);
  std::span<const Node* const> sources(merges_.data() + f.merge_begin,
                                       merges_.size() - f.merge_begin);
  std::size_t total = own.size();
  for (const Node* s : sources) total += s->size();

  std::vector<Entry>& out = map_out_;
  out.clear();
  out.reserve(total);
  own_marks_.clear();
  // Small mappings are searched directly; larger ones through an index, so that a mapping of
  // 100,000 keys stays linear.
  constexpr std::size_t kLinear = 16;
  const bool indexed = total > kLinear;
  std::size_t mask = 0;
  if (indexed) {
    std::size_t cap = std::bit_ceil(total * 2);
    index_.assign(cap, 0);
    mask = cap - 1;
  }

  // Small mappings: a 64-bit filter over what equal keys share (kind, and a string's length and
  // first byte) skips the search for almost every key, which is new.
  std::uint64_t seen = 0;
  auto filter_bit = [](const Node* k) {
    std::size_t h = static_cast<std::size_t>(k->kind()) * 31;
    switch (k->kind()) {
      case Kind::Str:
      case Kind::Timestamp:
        if (!k->text().empty()) {
          h += k->text().size() * 7 + static_cast<unsigned char>(k->text()[0]);
        }
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
  };

  auto place = [&](Entry e, Mark own_mark) {
    std::size_t found = SIZE_MAX;
    std::size_t slot = 0;
    if (!indexed) {
      const std::uint64_t bit = filter_bit(e.key);
      const bool maybe_seen = (seen & bit) != 0;
      seen |= bit;
      if (!maybe_seen) {
        out.push_back(e);
        own_marks_.push_back(own_mark);
        return;
      }
    }
    if (indexed) {
      slot = key_hash(e.key) & mask;
      for (; index_[slot] != 0; slot = (slot + 1) & mask) {
        std::size_t j = index_[slot] - 1;
        if (key_equal(out[j].key, e.key)) {
          found = j;
          break;
        }
      }
    } else {
      for (std::size_t j = 0; j < out.size(); ++j) {
        if (key_equal(out[j].key, e.key)) {
          found = j;
          break;
        }
      }
    }
    if (found == SIZE_MAX) {
      if (indexed) index_[slot] = out.size() + 1;
      out.push_back(e);
      own_marks_.push_back(own_mark);
      return;
    }
    if (own_mark.known()) {
      if (own_marks_[found].known()) {
        record_duplicate(out[found].key->text(), own_marks_[found], own_mark);
      } else {
        own_marks_[found] = own_mark;
      }
    }
    out[found] = e;
  };

  for (const Node* s : sources) {
    for (const Entry& e : s->entries()) place(e, Mark{});
  }
  for (const OwnEntry& e : own) place(Entry{e.key, e.value}, e.key_mark);
  doc_.set_entries(f.node, out);
  entries_.resize(f.begin);
  merges_.resize(f.merge_begin);
}

// Records a repeated key of the innermost open mapping with its path: the keys and sequence
// indexes from the root down to that mapping.
void Reader::record_duplicate(const std::string& key, Mark first, Mark second) {
  if (duplicate_bytes_ >= kMaxDuplicateRecordBytes) return;
  std::size_t cost = sizeof(DuplicateKey) + key.size();
  for (std::size_t i = 0; i + 1 < frames_.size(); ++i) {
    const Frame& f = frames_[i];
    cost += sizeof(DuplicateKey::Step) + (f.node->is_map() && f.key ? f.key->text().size() : 0);
  }
  if (cost > kMaxDuplicateRecordBytes - std::min(duplicate_bytes_, kMaxDuplicateRecordBytes)) {
    duplicate_bytes_ = kMaxDuplicateRecordBytes;
    return;
  }
  duplicate_bytes_ += cost;
  DuplicateKey d{key, first, second, {}};
  d.path.reserve(frames_.size() - 1);
  for (std::size_t i = 0; i + 1 < frames_.size(); ++i) {
    const Frame& f = frames_[i];
    if (f.node->is_map()) {
      d.path.emplace_back(f.key ? f.key->text() : std::string());
    } else {
      d.path.emplace_back(f.count);
    }
  }
  duplicates_.push_back(std::move(d));
}

// ---------------------------------------------------------------------------------------------
// Input

struct Fd {
  int fd;
  bool owned;
  ~Fd() {
    if (owned) ::close(fd);
  }
};

// Reads to end of file, refusing more than kMaxDocumentBytes. `on_error` throws for errno.
template <typename OnError>
std::string read_all(int fd, std::size_t size_hint, const std::string& name, OnError on_error) {
  std::string data;
  std::size_t len = 0;
  data.resize(std::min(size_hint, kMaxDocumentBytes) + 1);  // +1 sees end of file in one pass
  while (true) {
    if (len == data.size()) data.resize(std::min(data.size() * 2, kMaxDocumentBytes + 1));
    ssize_t n = ::read(fd, data.data() + len, data.size() - len);
    if (n < 0) {
      if (errno == EINTR) continue;
      on_error(errno);
    }
    if (n == 0) break;
    len += static_cast<std::size_t>(n);
    if (len > kMaxDocumentBytes) {
      throw YamlError(
          "input is larger than the limit of " + std::to_string(kMaxDocumentBytes) + " bytes", name,
          Mark{});
    }
  }
  data.resize(len);
  return data;
}

}  // namespace

YamlError::YamlError(std::string problem, std::string file, Mark mark)
    : std::runtime_error(render(problem, file, mark)),
      problem_(std::move(problem)),
      file_(std::move(file)),
      mark_(mark) {}

Document read_string(std::string_view text, std::string name) {
  return read_string(text, std::move(name), nullptr);
}

std::string read_file_text(const std::filesystem::path& path) {
  auto fs_error = [&](const char* what, int err) {
    throw std::filesystem::filesystem_error(what, path,
                                            std::error_code(err, std::generic_category()));
  };
  Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC), true};
  if (file.fd < 0) {
    file.owned = false;
    fs_error("cannot open configuration file", errno);
  }
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) fs_error("cannot read configuration file", errno);
  if (S_ISDIR(st.st_mode)) fs_error("cannot read configuration file", EISDIR);
  std::string name = path.string();
  std::size_t hint = 0;
  if (S_ISREG(st.st_mode)) {
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxDocumentBytes) {
      throw YamlError("file of " + std::to_string(st.st_size) +
                          " bytes is larger than the limit of " +
                          std::to_string(kMaxDocumentBytes) + " bytes",
                      name, Mark{});
    }
    hint = static_cast<std::size_t>(st.st_size);
  }
  return read_all(file.fd, hint, name,
                  [&](int err) { fs_error("cannot read configuration file", err); });
}

std::string read_stdin_text() {
  return read_all(STDIN_FILENO, 64 * 1024, "<stdin>", [](int err) {
    throw std::system_error(err, std::generic_category(), "cannot read standard input");
  });
}

Document read_string(std::string_view text, std::string name, ItemSink* sink) {
  if (text.size() > kMaxDocumentBytes) {
    throw YamlError("document of " + std::to_string(text.size()) +
                        " bytes is larger than the limit of " + std::to_string(kMaxDocumentBytes) +
                        " bytes",
                    std::move(name), Mark{});
  }
  return Reader(text, std::move(name), sink).run();
}

Document read_file(const std::filesystem::path& path) {
  return read_string(read_file_text(path), path.string());
}

Document read_stdin() {
  return read_string(read_stdin_text(), "<stdin>");
}

}  // namespace tarnwick::yaml
