#include "tarnwick/core/load.hpp"

#include <utility>

#include "record_stream.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::core {

Source Source::file(std::filesystem::path path) {
  std::string name = path.string();
  return Source(std::move(path), std::move(name));
}

Source Source::standard_input() {
  return Source(Stdin{}, "<stdin>");
}

Source Source::text(std::string_view text, std::string name) {
  return Source(text, std::move(name));
}

Source Source::tree(const yaml::Node& root, std::string name) {
  return Source(&root, std::move(name));
}

Source Source::json(const nlohmann::ordered_json& value, std::string name) {
  return Source(&value, std::move(name));
}

ErrorDetail duplicate_key_fault(const yaml::DuplicateKey& duplicate) {
  ErrorDetail e;
  for (const yaml::DuplicateKey::Step& step : duplicate.path) {
    if (const auto* index = std::get_if<std::size_t>(&step)) {
      e.loc.emplace_back(static_cast<std::int64_t>(*index));
    } else {
      e.loc.emplace_back(std::get<std::string>(step));
    }
  }
  e.loc.emplace_back(duplicate.key);
  e.msg = "duplicate key '" + duplicate.key + "' (first at line " +
          std::to_string(duplicate.first.line) + "); the later value overrides the earlier one";
  e.type = "value_error.duplicate_key";
  e.mark = duplicate.second;
  return e;
}

DiscoveryConfiguration& LoadResult::document() {
  if (not_mapping) throw *not_mapping;
  if (error) throw std::move(*error);
  return *config;
}

std::string LoadResult::not_mapping_reason() const {
  if (empty_document) return "the document is empty";
  return not_mapping ? not_mapping->what() : std::string();
}

namespace {

// Builds the document from its root, taking the lists streamed while it was read (if any).
void build_root(const yaml::Node& root, const LoadOptions& options, StreamedLists* streamed,
                LoadResult& out) {
  if (!root.is_map()) {
    out.not_mapping = TypeError("config_dict must be a mapping, not " +
                                std::string(yaml::kind_name(root.kind())));
    return;
  }
  BaseModel::set_discovery_only(options.discovery_only);
  try {
    out.config = build<DiscoveryConfiguration>(
        root, BuildContext{options.discovery_only, options.mode_ids}, streamed);
  } catch (ValidationError& e) {
    out.error = std::move(e);
  }
}

// Text: read and built in one pass, the rows marked streamed built item by item while the rest
// is still being read.
void load_text(std::string_view text, const LoadOptions& options, LoadResult& out) {
  RecordStream stream = RecordStream::of<DiscoveryConfiguration>(
      BuildContext{options.discovery_only, options.mode_ids});
  const yaml::Document doc = yaml::read_string(text, out.name, &stream, options.limits);
  out.duplicates = doc.duplicates();
  const yaml::Node& root = doc.root();
  // No document at all leaves the reader's unplaced null; `---` alone gives an empty scalar.
  out.empty_document =
      root.is_null() && (!root.mark().known() || (root.plain() && root.text().empty()));
  build_root(root, options, &stream.lists(), out);
}

// Under strict duplicates, every key written twice joins the faults (after the document's own).
void add_duplicate_faults(LoadResult& out) {
  if (out.duplicates.empty() || out.not_mapping) return;
  std::vector<ErrorDetail> faults;
  if (out.error) faults = out.error->errors();
  for (const yaml::DuplicateKey& d : out.duplicates) faults.push_back(duplicate_key_fault(d));
  out.config.reset();
  out.error.emplace(std::string(table_of<DiscoveryConfiguration>.name), std::move(faults));
}

using J = nlohmann::ordered_json;

// A JSON value's node: a scalar whole, a collection empty (filled by document_from_json).
yaml::Node* make_node(yaml::Document& doc, const J& v) {
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
      return doc.make_big_int(std::to_string(u), yaml::StandardTag::Int, false, {});
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

yaml::Document document_from_json(const nlohmann::ordered_json& value, const yaml::Limits& limits) {
  yaml::Document doc;
  // Explicit stack: a deeply nested value must not exhaust the C++ stack.
  struct Frame {
    const J* json;
    yaml::Node* node;
    std::size_t depth;
  };
  yaml::Node* root = make_node(doc, value);
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
      yaml::Node* child = make_node(doc, v);
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

LoadResult load(const Source& source, const LoadOptions& options) {
  LoadResult out;
  out.name = source.name();
  std::visit(
      [&](const auto& input) {
        using I = std::decay_t<decltype(input)>;
        if constexpr (std::is_same_v<I, std::filesystem::path>) {
          out.text = yaml::read_file_text(input, options.limits);
          load_text(out.text, options, out);
        } else if constexpr (std::is_same_v<I, Source::Stdin>) {
          out.text = yaml::read_stdin_text(options.limits);
          load_text(out.text, options, out);
        } else if constexpr (std::is_same_v<I, std::string_view>) {
          load_text(input, options, out);
        } else if constexpr (std::is_same_v<I, const yaml::Node*>) {
          build_root(*input, options, nullptr, out);
        } else {
          const yaml::Document doc = document_from_json(*input, options.limits);
          build_root(doc.root(), options, nullptr, out);
        }
      },
      source.input());
  if (options.strict_duplicates) add_duplicate_faults(out);
  return out;
}

}  // namespace tarnwick::core
