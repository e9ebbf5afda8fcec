#include "tarnwick/core/load.hpp"

#include <algorithm>
#include <system_error>
#include <utility>

#include "tarnwick/yaml/from_json.hpp"
#include "tarnwick/yaml/node_ends.hpp"

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
  e.loc = duplicate.path;
  e.loc.emplace_back(duplicate.key);
  e.msg = "duplicate key '" + duplicate.key + "' (first at line " +
          std::to_string(duplicate.first.line) + ", column " +
          std::to_string(duplicate.first.column) + "); the later value wins";
  e.type = std::string(kind::kDuplicateKey);
  e.mark = duplicate.second;
  e.about = About::key;
  e.severity = Severity::warning;
  Loc first = e.loc;
  e.related.push_back({std::move(first), "first written here", duplicate.first, {}});
  return e;
}

std::span<const ErrorDetail> LoadResult::faults() const {
  if (!error) return {};
  return error->errors();
}

DiscoveryConfiguration& LoadResult::document() {
  if (cause) std::rethrow_exception(cause);
  if (not_mapping) throw *not_mapping;
  if (error) throw std::move(*error);
  return *config;
}

std::string LoadResult::not_mapping_reason() const {
  if (empty_document) return "the document is empty";
  return not_mapping ? not_mapping->what() : std::string();
}

namespace {

std::string_view trim(std::string_view s) {
  const auto begin = s.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  return s.substr(begin, s.find_last_not_of(" \t\r") - begin + 1);
}

}  // namespace

std::optional<bool> mode_comment(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // a byte-order mark
  std::string_view rest = trim(text.substr(0, text.find_first_of("\r\n")));
  if (!rest.starts_with('#')) return std::nullopt;
  rest = trim(rest.substr(1));
  constexpr std::string_view kTag = "tarnwick-config:";
  if (!rest.starts_with(kTag)) return std::nullopt;
  rest = trim(rest.substr(kTag.size()));
  if (rest == "discovery-only") return true;
  if (rest == "migration") return false;
  return std::nullopt;
}

namespace {

BuildContext context_of(const LoadOptions& options, const LoadResult& out) {
  BuildContext context{out.discovery_only, options.mode_ids};
  context.gw_name_keys = options.gw_name_keys;
  context.lint = options.lint;
  return context;
}

// Builds the document from its root, taking the lists streamed while it was read (if any), and
// lints it in `context` when it is valid.
void build_root(const yaml::Node& root, const BuildContext& context, StreamedLists* streamed,
                LoadResult& out) {
  if (!root.is_map()) {
    const std::string kind(yaml::kind_name(root.kind()));
    out.not_mapping = TypeError("config_dict must be a mapping, not " + kind);
    ErrorDetail& fatal = out.fatal.emplace();
    const bool vowel =
        !kind.empty() && std::string_view("aeiou").find(kind[0]) != std::string_view::npos;
    fatal.msg = out.empty_document ? "the document is empty"
                                   : "the document must be a mapping of sections, not " +
                                         std::string(vowel ? "an " : "a ") + kind;
    fatal.type = std::string(kind::kNotMapping);
    fatal.about = About::document;
    return;
  }
  for (const yaml::Entry& e : root.entries()) {
    if (e.key->kind() == yaml::Kind::Str &&
        table_of<DiscoveryConfiguration>.index_of(e.key->text()) >= 0) {
      out.any_section = true;
      break;
    }
  }
  BaseModel::set_discovery_only(out.discovery_only);
  try {
    out.config = build<DiscoveryConfiguration>(root, context, streamed, &out.warnings);
    if (!context.lint.empty()) {
      std::vector<ErrorDetail> found = lint_records(*out.config, context.lint);
      out.warnings.insert(out.warnings.end(), std::make_move_iterator(found.begin()),
                          std::make_move_iterator(found.end()));
    }
  } catch (ValidationError& e) {
    if (auto note = checks_not_run(root, e.errors(), context)) {
      out.warnings.push_back(std::move(*note));
    }
    out.error = std::move(e);
  }
}

// Read and built in one pass, the rows marked streamed built item by item while the rest is
// still being read. `first` holds at least the text's first line (its mode comment); `read`
// parses the text with the stream given.
template <class Read>
void read_and_build(std::string_view first, const LoadOptions& options, LoadResult& out,
                    Read read) {
  if (options.mode_comment) {
    if (const std::optional<bool> asked = mode_comment(first)) out.discovery_only = *asked;
  }
  BuildContext context = context_of(options, out);
  IgnoreComment ignore;
  if (!context.lint.empty()) {
    ignore = ignore_comment(first);
    context.lint.remove(ignore.ignored);
  }
  RecordStream stream = RecordStream::of<DiscoveryConfiguration>(context);
  const yaml::Document doc = read(stream);
  out.duplicates = doc.duplicates();
  const yaml::Node& root = doc.root();
  // No document at all leaves the reader's unplaced null; `---` alone gives an empty scalar.
  out.empty_document =
      root.is_null() && (!root.mark().known() || (root.plain() && root.text().empty()));
  build_root(root, context, &stream.lists(), out);
  if (out.fatal || ignore.unknown.empty()) return;
  // An id that turns nothing off, so that the operator does not take the rule for off; first, as
  // the comment is.
  std::vector<ErrorDetail> unknown;
  for (const IgnoreComment::Unknown& u : ignore.unknown) unknown.push_back(unknown_rule_warning(u));
  out.warnings.insert(out.warnings.begin(), std::make_move_iterator(unknown.begin()),
                      std::make_move_iterator(unknown.end()));
}

void load_text(std::string_view text, const LoadOptions& options, LoadResult& out) {
  read_and_build(text, options, out, [&](RecordStream& stream) {
    return yaml::read_string(text, out.name, &stream, options.limits);
  });
}

// A file read in pieces, its text never held whole. Only a document with nothing to report is
// kept: for any other outcome the caller reads the text whole and loads that, so that every
// message is made from, and quotes, the text it was checked from. False: not kept.
bool load_pieces(const std::filesystem::path& path, const LoadOptions& options, LoadResult& out) {
  std::optional<yaml::FilePieces> pieces = yaml::FilePieces::open(path, options.limits);
  if (!pieces) return false;
  // The first line must be read whole before its comment can be trusted.
  const std::string_view head = pieces->head();
  if (options.mode_comment && !pieces->whole() &&
      head.find_first_of("\r\n") == std::string_view::npos) {
    return false;
  }
  // So must the comment lines at the top, where rules are turned off.
  if (!options.lint.empty() && !ignore_comment(head, pieces->whole()).complete) return false;
  try {
    read_and_build(head, options, out, [&](RecordStream& stream) {
      return yaml::read_pieces(*pieces, out.name, &stream, options.limits);
    });
  } catch (const std::exception&) {
    return false;
  }
  return out.config && out.warnings.empty() && out.duplicates.empty();
}

// Document order.
bool before(const ErrorDetail& a, const ErrorDetail& b) {
  return a.mark.line != b.mark.line ? a.mark.line < b.mark.line : a.mark.column < b.mark.column;
}

// What strict options make faults of (keys written twice, lint warnings): errors of the report,
// after the document's own, and no document.
void add_as_faults(std::vector<ErrorDetail> more, LoadResult& out) {
  std::vector<ErrorDetail> faults;
  if (out.error) faults = out.error->errors();
  for (ErrorDetail& e : more) {
    faults.push_back(std::move(e));
    faults.back().severity = Severity::error;
  }
  out.config.reset();
  out.error.emplace(std::string(table_of<DiscoveryConfiguration>.name), std::move(faults));
}

// Keys written twice are warnings, or under strict duplicates faults (after the document's own).
void add_duplicates(const LoadOptions& options, LoadResult& out) {
  if (out.duplicates.empty() || out.not_mapping) return;
  if (!options.strict_duplicates) {
    std::vector<ErrorDetail> warnings;
    for (const yaml::DuplicateKey& d : out.duplicates) warnings.push_back(duplicate_key_fault(d));
    // In document order with any note, which sits at a later section's key.
    warnings.insert(warnings.end(), std::make_move_iterator(out.warnings.begin()),
                    std::make_move_iterator(out.warnings.end()));
    std::stable_sort(warnings.begin(), warnings.end(), before);
    out.warnings = std::move(warnings);
    return;
  }
  std::vector<ErrorDetail> faults;
  for (const yaml::DuplicateKey& d : out.duplicates) faults.push_back(duplicate_key_fault(d));
  add_as_faults(std::move(faults), out);
}

// A lint rule's warning, or the ignore comment's about an id that names none.
bool is_lint(const ErrorDetail& e) {
  return lint_rule(e.rule).has_value() || e.rule == kUnknownLintRule;
}

// Under strict lint, lint warnings are faults of the report, after the document's own.
void lint_as_faults(const LoadOptions& options, LoadResult& out) {
  if (!options.strict_lint) return;
  const auto lint = std::stable_partition(out.warnings.begin(), out.warnings.end(),
                                          [](const ErrorDetail& e) { return !is_lint(e); });
  if (lint == out.warnings.end()) return;
  std::vector<ErrorDetail> faults(std::make_move_iterator(lint),
                                  std::make_move_iterator(out.warnings.end()));
  out.warnings.erase(lint, out.warnings.end());
  add_as_faults(std::move(faults), out);
}

// Lint warnings made from the records know only their key path: their marks are found in the
// text (one scan), and the warnings put in document order.
void locate_lint(std::string_view text, std::span<ErrorDetail> faults,
                 std::vector<ErrorDetail>& warnings) {
  std::vector<yaml::Path> paths;
  std::vector<ErrorDetail*> unmarked;
  const auto collect = [&](std::span<ErrorDetail> all) {
    for (ErrorDetail& e : all) {
      if (e.mark.known() || e.loc.empty() || !is_lint(e)) continue;
      paths.push_back(e.loc);
      unmarked.push_back(&e);
    }
  };
  collect(faults);
  collect(warnings);
  if (!paths.empty()) {
    const std::vector<yaml::Located> found = yaml::locate(text, paths);
    // At the value the operator must change, else as near as it was found.
    for (std::size_t i = 0; i < found.size(); ++i) {
      unmarked[i]->mark = found[i].value.known() ? found[i].value : found[i].mark;
    }
  }
  // Streamed items' warnings come before their holder's.
  std::stable_sort(warnings.begin(), warnings.end(), before);
}

// A fault's range, its fix's and its related places', from the text.
void place_all(std::span<ErrorDetail> faults, const yaml::NodeEnds& ends,
               std::vector<yaml::Path>& paths, std::vector<Related*>& unplaced) {
  for (ErrorDetail& f : faults) {
    if (f.mark.known()) {
      const auto end = f.about == About::key ? ends.inner_end_of(f.mark) : ends.end_of(f.mark);
      if (end) f.end = *end;
    }
    if (f.fix && !f.fix->start.known()) {
      f.fix->start = f.mark;
      f.fix->end = f.end;
    }
    for (Related& r : f.related) {
      if (r.start.known()) {
        if (const auto end = ends.inner_end_of(r.start)) r.end = *end;
        continue;
      }
      paths.push_back(r.loc);
      unplaced.push_back(&r);
    }
  }
}

void place(std::string_view text, LoadResult& out) {
  if (text.empty() || (!out.error && out.warnings.empty())) return;
  locate_lint(text, out.error ? out.error->errors_to_place() : std::span<ErrorDetail>(),
              out.warnings);
  const yaml::NodeEnds ends = yaml::node_ends(text);
  std::vector<yaml::Path> paths;
  std::vector<Related*> unplaced;
  if (out.error) {
    place_all(out.error->errors_to_place(), ends, paths, unplaced);
  }
  place_all(out.warnings, ends, paths, unplaced);
  if (paths.empty()) return;
  const std::vector<yaml::Located> found = yaml::locate(text, paths);
  for (std::size_t i = 0; i < found.size(); ++i) {
    Related& r = *unplaced[i];
    r.start = found[i].mark;
    if (!r.start.known()) continue;
    // A key found as asked ends with the key; a nearer place found instead is shown whole.
    const bool whole =
        found[i].steps == paths[i].size() && std::holds_alternative<std::string>(paths[i].back());
    const auto end = whole ? ends.inner_end_of(r.start) : ends.end_of(r.start);
    if (end) r.end = *end;
  }
}

// A document that could not be read at all: its one fault, and the cause for hosts.
void unreadable(LoadResult& out, std::string message) {
  ErrorDetail& fatal = out.fatal.emplace();
  fatal.msg = std::move(message);
  fatal.type = std::string(kind::kUnreadableFile);
  fatal.about = About::document;
  out.cause = std::current_exception();
}

}  // namespace

std::span<const std::string_view> document_keys() {
  return table_of<DiscoveryConfiguration>.keys();
}

namespace {

void load_input(const Source& source, const LoadOptions& options, LoadResult& out) {
  std::visit(
      [&](const auto& input) {
        using I = std::decay_t<decltype(input)>;
        if constexpr (std::is_same_v<I, std::filesystem::path>) {
          if (!options.keep_text) {
            LoadResult pieces;
            pieces.name = out.name;
            pieces.discovery_only = out.discovery_only;
            if (load_pieces(input, options, pieces)) {
              out = std::move(pieces);
              return;
            }
          }
          out.text = yaml::read_file_text(input, options.limits);
          load_text(out.text, options, out);
        } else if constexpr (std::is_same_v<I, Source::Stdin>) {
          out.text = yaml::read_stdin_text(options.limits);
          load_text(out.text, options, out);
        } else if constexpr (std::is_same_v<I, std::string_view>) {
          load_text(input, options, out);
        } else if constexpr (std::is_same_v<I, const yaml::Node*>) {
          build_root(*input, context_of(options, out), nullptr, out);
        } else {
          const yaml::Document doc = yaml::document_from_json(*input, options.limits);
          build_root(doc.root(), context_of(options, out), nullptr, out);
        }
      },
      source.input());
}

}  // namespace

LoadResult load(const Source& source, const LoadOptions& options) {
  LoadResult out;
  out.name = source.name();
  out.discovery_only = options.discovery_only;
  try {
    load_input(source, options, out);
  } catch (const yaml::YamlError& e) {
    ErrorDetail& fatal = out.fatal.emplace();
    fatal.msg = e.message();  // the offending line first; `problem` stays libyaml's for Python
    fatal.type = std::string(kind::kMalformedYaml);
    fatal.mark = e.mark();
    out.cause = std::current_exception();
    return out;
  } catch (const std::filesystem::filesystem_error& e) {
    unreadable(out, "cannot read " + e.path1().string() + ": " + e.code().message());
    return out;
  } catch (const std::system_error& e) {
    unreadable(out, e.what());
    return out;
  } catch (const std::invalid_argument& e) {  // a JSON value nested too deeply
    unreadable(out, e.what());
    return out;
  }
  add_duplicates(options, out);
  lint_as_faults(options, out);
  if (!options.keep_text && out.config && out.warnings.empty()) std::string().swap(out.text);
  if (options.ranges) {
    const std::string_view* view = std::get_if<std::string_view>(&source.input());
    place(view != nullptr ? *view : std::string_view(out.text), out);
  }
  return out;
}

}  // namespace tarnwick::core
