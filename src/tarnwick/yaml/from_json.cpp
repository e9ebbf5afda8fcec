#include "tarnwick/yaml/from_json.hpp"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick::yaml {

namespace {

using J = nlohmann::ordered_json;

// A JSON value's node: a scalar whole, a collection empty (filled by document_from_json).
Node* make_node(Document& doc, const J& v) {
  switch (v.type()) {
    case J::value_t::object:
      return doc.make_map();
    case J::value_t::array:
      return doc.make_seq();
    case J::value_t::boolean:
      return doc.make_bool(v.get<bool>());
    case J::value_t::number_integer:
      return doc.make_int(v.get<std::int64_t>());
    case J::value_t::number_unsigned: {
      const auto u = v.get<std::uint64_t>();
      if (u <= static_cast<std::uint64_t>(INT64_MAX)) {
        return doc.make_int(static_cast<std::int64_t>(u));
      }
      return doc.make_big_int(std::to_string(u), StandardTag::Int, false, {});
    }
    case J::value_t::number_float:
      return doc.make_float(v.get<double>());
    case J::value_t::string:
      return doc.make_str(v.get<std::string>());
    default:
      return doc.make_null();
  }
}

}  // namespace

Document document_from_json(const nlohmann::ordered_json& value, const Limits& limits) {
  Document doc;
  // Explicit stack: a deeply nested value must not exhaust the C++ stack.
  struct Frame {
    const J* json;
    Node* node;
    std::size_t depth;
  };
  Node* root = make_node(doc, value);
  std::vector<Frame> stack{{&value, root, 1}};
  while (!stack.empty()) {
    const Frame f = stack.back();
    stack.pop_back();
    if (!f.json->is_structured()) continue;
    if (f.depth > limits.max_depth) {
      throw std::invalid_argument("config_dict nests deeper than " +
                                  std::to_string(limits.max_depth) + " levels");
    }
    const bool is_object = f.json->is_object();
    for (const auto& [k, v] : f.json->items()) {
      Node* child = make_node(doc, v);
      if (is_object) {
        doc.append_entry(f.node, doc.make_str(k), child);
      } else {
        doc.append(f.node, child);
      }
      stack.push_back({&v, child, f.depth + 1});
    }
  }
  doc.set_root(root);
  return doc;
}

}  // namespace tarnwick::yaml
