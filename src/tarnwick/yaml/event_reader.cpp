#include "event_reader.hpp"

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

#include "event_source.hpp"
#include "messages.hpp"

namespace tarnwick::yaml::detail {

Reader::Reader(std::string_view input, std::string name, ItemStream* stream, const Limits& limits)
    : Reader(input, nullptr, input.size(), std::move(name), stream, limits) {}

Reader::Reader(FilePieces& pieces, std::string name, ItemStream* stream, const Limits& limits)
    : Reader({}, &pieces, pieces.size(), std::move(name), stream, limits) {}

Reader::Reader(std::string_view input, FilePieces* pieces, std::size_t input_bytes,
               std::string name, ItemStream* stream, const Limits& limits)
    : input_(input),
      pieces_(pieces),
      stream_(stream),
      max_depth_(limits.max_depth),
      max_scalar_bytes_(limits.max_scalar_bytes),
      parse_ahead_bytes_(limits.parse_ahead_bytes),
      budget_(doc_, input_bytes, limits),
      release_(doc_),
      duplicates_(limits.max_duplicate_record_bytes) {
  doc_.set_name(std::move(name));
  if (stream_ != nullptr) taken_placeholder_ = doc_.make_null();
}

Document Reader::run() {
  Parser parser = pieces_ != nullptr ? Parser(*pieces_) : Parser(input_);
  EventSource events(parser, budget_.input_bytes() >= parse_ahead_bytes_, max_scalar_bytes_);
  int documents = 0;
  for (bool done = false; !done;) {
    const EventBatch& batch = events.next();
    for (std::size_t i = 0; i < batch.size(); ++i) on_event(batch[i], documents, done);
    if (batch.fault) fail_parser(*batch.fault);
    done = done || batch.last;
  }
  if (root_) doc_.set_root(root_);
  for (DuplicateKey& d : duplicates_.take_sorted()) doc_.add_duplicate(std::move(d));
  return std::move(doc_);
}

inline void Reader::on_event(const ParsedEvent& e, int& documents, bool& done) {
  switch (e.type) {
    case YAML_DOCUMENT_START_EVENT:
      if (documents++ > 0) {
        fail("expected a single document in the stream, but found another document",
             e.mark, YamlStage::composer);
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

void Reader::fail_parser(const ParserFault& p) const {
  std::string problem = p.problem.empty() ? "cannot parse the document" : p.problem;
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
      fail(std::move(problem), mark_at_offset(p.problem_offset), YamlStage::reader);
    }
    default:
      break;
  }
  Mark mark = p.problem_mark;
  const Mark context_mark = p.context_mark;
  // Python's loader classes read `problem` as it always was; people read the message.
  const std::string_view context = p.context ? std::string_view(*p.context) : std::string_view();
  const std::string libyaml_problem = problem;
  bool at_end = false;
  if (offset_of(mark) < input_.size()) {
    if (p.context) problem = *p.context + " at " + at(context_mark) + ": " + problem;
  } else if (p.context && offset_of(context_mark) < input_.size()) {
    // The end of the text shows nothing: name where the unfinished construct begins.
    problem = *p.context + ": " + problem;
    mark = context_mark;
  } else {
    mark = last_character_mark();
    at_end = true;
  }
  std::size_t off = offset_of(mark);
  if (off < input_.size() && input_[off] == '\t') {
    problem += " (a tab cannot be used for indentation; use spaces)";
  }
  const std::string line = quote_line(mark);
  // Where YAML loaders mark the fault: libyaml's mark, but the end of a text whose last line has
  // no line break where it is (libyaml puts the end on a line of its own).
  Mark found = p.problem_mark;
  if (offset_of(found) >= input_.size()) found = mark_at_offset(input_.size());
  std::string message =
      explain_syntax({libyaml_problem, context, mark, context_mark, input_, off, at_end}) + line;
  // The context as libyaml gives it, for callers that class faults as YAML loaders do.
  throw YamlError(std::move(problem) + line, doc_.name(), mark,
                  p.error == YAML_SCANNER_ERROR ? YamlStage::scanner : YamlStage::parser,
                  std::string(context), p.context ? context_mark : Mark{}, std::move(message),
                  found);
}

Mark Reader::last_character_mark() const {
  const std::size_t last = input_.find_last_not_of("\r\n");
  return mark_at_offset(last == std::string_view::npos ? 0 : last);
}

std::string Reader::quote_line(Mark mark) const {
  const std::size_t at_mark = offset_of(mark);
  std::size_t line_start = 0;
  if (at_mark > 0) {
    const std::size_t before = input_.find_last_of("\r\n", at_mark - 1);
    if (before != std::string_view::npos) line_start = before + 1;
  }
  std::size_t line_end = input_.find_first_of("\r\n", line_start);
  if (line_end == std::string_view::npos) line_end = input_.size();
  if (line_end == line_start) return {};
  // One line still: the message may be all a caller prints.
  return "; the line reads " + quoted(input_.substr(line_start, line_end - line_start));
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

Reader::Anchor* Reader::define_anchor(std::string_view name, const Node* node, Mark mark,
                                      bool complete) {
  auto [it, inserted] = anchors_.try_emplace(std::string(name), Anchor{node, 1, mark, complete});
  if (!inserted) {
    // As the Python loader does: a reused anchor name would make aliases ambiguous to readers.
    fail("found duplicate anchor &" + it->first + "; first occurrence at " + at(it->second.mark),
         mark, YamlStage::composer);
  }
  if (node->transient()) release_.note_anchor(&it->second.node);
  return &it->second;
}

inline Node* Reader::make_scalar(const ResolvedScalar& r, std::string_view text, bool plain,
                                 Mark mark) {
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

inline void Reader::on_scalar(const ParsedEvent& e) {
  Mark mark = e.mark;
  if (e.length > max_scalar_bytes_) {
    fail("scalar of " + std::to_string(e.length) + " bytes is longer than the limit of " +
             std::to_string(max_scalar_bytes_) + " bytes",
         mark, YamlStage::limit);
  }
  const std::string_view text = e.value;
  bool key = expecting_key();
  ResolvedScalar r;  // a string unless resolved otherwise
  bool plain = false;
  const std::string_view tag = e.tag.value_or(std::string_view());
  if (!e.tag) {
    if (e.style == YAML_PLAIN_SCALAR_STYLE) {
      r = resolve_plain(text);
      plain = true;
      // `<<` merges only as a key; elsewhere it is just text.
      if (r.tag == StandardTag::Merge && !key) r.tag = StandardTag::Str;
      if (!r.ok()) {
        fail("cannot read " + quoted(text) + " as " + std::string(article_kind(r.kind)) + ": " +
                 std::string(r.error),
             mark);
      }
    }
  } else if (tag != "!") {  // a bare `!` tag makes a string
    r = resolve_tagged_scalar(tag, text, key, mark);
  }
  Node* n = make_scalar(r, text, plain, mark);
  budget_.charge(1, mark);
  if (e.anchor) define_anchor(*e.anchor, n, mark, true)->text_bytes = text.size();
  note_text(text.size());
  add_child(n, 1, mark, false);
}

ResolvedScalar Reader::resolve_tagged_scalar(std::string_view tag, std::string_view text, bool key,
                                             Mark mark) const {
  std::optional<StandardTag> t = tag_from_uri(tag);
  if (!t) {
    fail("tag " + written_tag(tag) + " is not allowed: only standard YAML tags are accepted", mark);
  }
  switch (*t) {
    case StandardTag::Seq:
    case StandardTag::Map:
    case StandardTag::Omap:
    case StandardTag::Pairs:
    case StandardTag::Set:
      fail("tag " + std::string(tag_short(*t)) + " cannot be used on a scalar", mark);
    case StandardTag::Merge:
      if (!key) fail("tag !!merge can only be used on a mapping key", mark);
      break;
    default:
      break;
  }
  ResolvedScalar r = resolve_tagged(*t, text);
  if (!r.ok()) {
    fail("cannot read " + quoted(text) + " as " + std::string(tag_short(*t)) + ": " +
             std::string(r.error),
         mark);
  }
  return r;
}

inline void Reader::on_alias(const ParsedEvent& e) {
  Mark mark = e.mark;
  const std::string_view name = e.anchor.value_or(std::string_view());
  auto it = anchors_.find(name);
  if (it == anchors_.end()) {
    fail("found undefined alias *" + std::string(name), mark, YamlStage::composer);
  }
  const Anchor& a = it->second;
  if (!a.complete) {
    fail("alias *" + std::string(name) + " refers to anchor &" + std::string(name) + " at " +
             at(a.mark) + ", which encloses it: recursive structures are not allowed",
         mark, YamlStage::composer);
  }
  budget_.charge_text(a.text_bytes, mark);
  note_text(a.text_bytes);
  add_child(a.node, a.expanded, mark, true);
}

StandardTag Reader::collection_tag(std::optional<std::string_view> tag, bool is_map,
                                   Mark mark) const {
  StandardTag def = is_map ? StandardTag::Map : StandardTag::Seq;
  if (!tag || *tag == "!") return def;
  const std::string_view uri = *tag;
  std::optional<StandardTag> t = tag_from_uri(uri);
  if (!t) {
    fail("tag " + written_tag(uri) + " is not allowed: only standard YAML tags are accepted", mark);
  }
  bool fits = is_map
                  ? (*t == StandardTag::Map || *t == StandardTag::Set)
                  : (*t == StandardTag::Seq || *t == StandardTag::Omap || *t == StandardTag::Pairs);
  if (!fits) {
    fail("tag " + std::string(tag_short(*t)) + " cannot be used on " +
             (is_map ? "a mapping" : "a sequence"),
         mark);
  }
  return *t;
}

void Reader::on_start(const ParsedEvent& e, bool is_map) {
  Mark mark = e.mark;
  if (frames_.size() >= max_depth_) {
    fail(
        "collections are nested deeper than the limit of " + std::to_string(max_depth_) + " levels",
        mark, YamlStage::limit);
  }
  if (expecting_key()) {
    fail(std::string("found unhashable key: ") + (is_map ? "a mapping" : "a sequence") +
             " cannot be a mapping key",
         mark);
  }
  StandardTag t = collection_tag(e.tag, is_map, mark);
  bool merge_value = in_merge_value();
  if (merge_value && !frames_.back().node->is_map() && !is_map) {
    fail("expected a mapping for merging, but found a sequence", mark);
  }
  // An item of a taken sequence is read into that sequence's region.
  if (!frames_.empty() && frames_.back().taken) release_.begin_item(frames_.size() - 1);
  Node* n = is_map ? doc_.make_map(mark) : doc_.make_seq(mark);
  if (t != (is_map ? StandardTag::Map : StandardTag::Seq)) doc_.set_tag(n, t);
  budget_.charge(1, mark);
  Frame f{};
  f.node = n;
  f.anchor = e.anchor ? define_anchor(*e.anchor, n, mark, false) : nullptr;
  if (f.anchor != nullptr) ++anchored_open_;
  if (stream_ != nullptr && (frames_.empty() || frames_.back().place != nullptr)) {
    follow(f, is_map, t, merge_value);
  }
  f.begin = is_map ? entries_.size() : items_.size();
  f.merge_begin = merges_.size();
  f.merge_seq = !is_map && merge_value;
  frames_.push_back(f);
}

inline void Reader::on_end() {
  const Frame& f = frames_.back();
  if (f.taken) end_of_items(f);
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
    if (alias) budget_.charge(expanded, mark);
    root_ = n;
    return;
  }
  Frame& f = frames_.back();
  ++f.count;
  if (f.node->is_seq()) {
    add_item(f, n, expanded, mark, alias);
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
    f.key_is_merge = n->tag() == StandardTag::Merge;
    if (!f.key_is_merge) {
      if (alias) budget_.charge(expanded, mark);
      f.expanded = sat_add(f.expanded, expanded);
    }
    return;
  }
  if (f.key_is_merge) {
    add_merge(f, n, expanded, mark, alias);
  } else {
    if (alias) budget_.charge(expanded, mark);
    entries_.push_back(OwnEntry{f.key, n, f.key_mark});
    f.expanded = sat_add(f.expanded, expanded);
  }
  f.key = nullptr;
  f.key_is_merge = false;
}

void Reader::add_item(Frame& f, const Node* n, std::size_t expanded, Mark mark, bool alias) {
  if (f.merge_seq) {
    if (!n->is_map()) {
      fail("expected a mapping for merging, but found " + std::string(article_kind(n->kind())),
           mark);
    }
    // Its entries are copied into the enclosing mapping: the copy is what costs.
    budget_.charge(expanded - 1, mark);
  } else if (alias) {
    budget_.charge(expanded, mark);
  }
  items_.push_back(n);
  f.expanded = sat_add(f.expanded, expanded);
  if (f.taken) take_item(f, n);
}

void Reader::add_merge(Frame& f, const Node* n, std::size_t expanded, Mark mark, bool alias) {
  std::size_t copied = 0;  // nodes the merged entries stand for
  if (n->is_map()) {
    merges_.push_back(n);
    copied = expanded - 1;
    budget_.charge(copied, mark);
  } else if (n->is_seq()) {
    auto items = n->items();
    copied = expanded - 1 - items.size();
    if (alias) {
      // Each use walks the items, so they are charged too, even empty ones.
      budget_.charge(expanded - 1, mark);
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

void Reader::finish_seq(const Frame& f) {
  std::span<const Node* const> items(items_.data() + f.begin, items_.size() - f.begin);
  if (f.node->tag() == StandardTag::Omap || f.node->tag() == StandardTag::Pairs) {
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

void Reader::finish_map(const Frame& f) {
  std::span<const OwnEntry> own(entries_.data() + f.begin, entries_.size() - f.begin);
  std::span<const Node* const> sources(merges_.data() + f.merge_begin,
                                       merges_.size() - f.merge_begin);
  doc_.set_entries(f.node, map_builder_.build(own, sources));
  if (!map_builder_.repeats().empty()) {
    // The path leads to this mapping: every open frame but its own.
    const std::span<const PathStep> path = path_steps(frames_.size() - 1);
    for (const Repeat& r : map_builder_.repeats()) {
      duplicates_.record(r.first_key->text(), r.first, r.second, path);
    }
  }
  entries_.resize(f.begin);
  merges_.resize(f.merge_begin);
}

// Where the stream follows a new collection, asked only below followed places, never under a
// merge key nor for a key that is not a string; and whether it takes a sequence's items: only a
// plain !!seq that no alias can reach (neither it nor a collection around it anchored).
void Reader::follow(Frame& f, bool is_map, StandardTag tag, bool merge_value) {
  if (frames_.empty()) {
    f.place = stream_->root_place();
  } else {
    const Frame& parent = frames_.back();
    if (!parent.node->is_map()) {
      f.place = parent.item_place;
    } else if (!parent.key_is_merge && parent.key->kind() == Kind::Str) {
      f.place = stream_->key_place(parent.place, parent.key->text());
    }
  }
  if (f.place == nullptr || is_map || merge_value) return;
  f.item_place = stream_->item_place(f.place);
  f.taken = tag == StandardTag::Seq && anchored_open_ == 0 && stream_->takes_items(f.place);
}

// Hands a complete item of the taken sequence `f` (the top frame) to the stream and leaves a null
// in its place; its region goes once the stream has given back every lease of it.
void Reader::take_item(Frame& f, const Node* item) {
  const std::size_t depth = frames_.size() - 1;
  const std::size_t index = f.count - 1;
  path_steps(frames_.size());
  path_.back().index = index;
  ItemLease lease = release_.lease(depth);
  const std::size_t region_nodes = release_.region_nodes(depth);
  stream_->take(TakenItem{*f.node, f.place, index, path_, *item, region_nodes}, std::move(lease));
  items_.back() = taken_placeholder_;
  release_.settle();
}

void Reader::end_of_items(const Frame& f) {
  stream_->end_of_items(*f.node, f.place);
  release_.settle();
  if (release_.holds(frames_.size() - 1)) {
    throw std::logic_error("an item of a taken sequence is still leased after the sequence's end");
  }
}

// The steps down to the open collection frames_[n - 1]: a mapping's pending key, a sequence's
// current index.
std::span<const PathStep> Reader::path_steps(std::size_t n) {
  path_.clear();
  for (std::size_t i = 0; i < n; ++i) {
    const Frame& g = frames_[i];
    if (g.node->is_map()) {
      path_.push_back(
          PathStep{g.key ? std::string_view(g.key->text()) : std::string_view(), 0, false});
    } else {
      path_.push_back(PathStep{{}, g.count, true});
    }
  }
  return path_;
}

}  // namespace tarnwick::yaml::detail
