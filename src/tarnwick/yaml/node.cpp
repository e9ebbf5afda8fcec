#include "tarnwick/yaml/node.hpp"

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
  return items_;
}
std::span<const Entry> Node::entries() const {
  return entries_;
}

std::size_t Node::size() const {
  if (kind_ == Kind::Seq) return items_.size();
  if (kind_ == Kind::Map) return entries_.size();
  return 0;
}

const Node* Node::find(std::string_view key) const {
  for (const Entry& e : entries_) {
    if (e.key->kind_ == Kind::Str && e.key->text_ == key) return e.value;
  }
  return nullptr;
}

Document::Document() {
  root_ = make_null();
}

Node* Document::add(Kind kind, Tag tag, Mark mark) {
  Node& n = nodes_.emplace_back();
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

void Document::append(Node* seq, const Node* item) {
  assert(seq->kind_ == Kind::Seq);
  seq->items_.push_back(item);
}

void Document::append_entry(Node* map, const Node* key, const Node* value) {
  assert(map->kind_ == Kind::Map);
  map->entries_.push_back(Entry{key, value});
}

void Document::set(Node* map, std::string key, const Node* value) {
  assert(map->kind_ == Kind::Map);
  for (Entry& e : map->entries_) {
    if (e.key->kind_ == Kind::Str && e.key->text_ == key) {
      e.value = value;
      return;
    }
  }
  map->entries_.push_back(Entry{make_str(std::move(key)), value});
}

void Document::reserve(Node* node, std::size_t n) {
  if (node->kind_ == Kind::Seq) node->items_.reserve(n);
  if (node->kind_ == Kind::Map) node->entries_.reserve(n);
}

}  // namespace tarnwick::yaml
