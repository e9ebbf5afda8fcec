// Reading one YAML 1.1 document into a node tree, over libyaml's event parser.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/yaml/item_stream.hpp"
#include "tarnwick/yaml/node.hpp"

namespace tarnwick::yaml {

// Limits that keep hostile input from exhausting the stack, memory or time. Each refusal names
// the limit in force and the position where it was crossed. These are the defaults of Limits.
inline constexpr std::size_t kMaxDepth = 1000;                          // nested collections
inline constexpr std::size_t kMaxDocumentBytes = std::size_t{1} << 30;  // 1 GiB of input
inline constexpr std::size_t kMaxScalarBytes = std::size_t{256} << 20;  // 256 MiB per scalar
// Aliases share nodes, so a small document can stand for an enormous tree. A document is refused
// as soon as the tree read so far (every alias counted as a copy of its anchor, every merge as a
// copy of the merged entries) holds more nodes than max(kMinExpansionBudget, kExpansionFactor *
// the nodes read so far), so time and memory never follow the expansion.
inline constexpr std::size_t kMinExpansionBudget = 1'000'000;
inline constexpr std::size_t kExpansionFactor = 10;
// The same for text: every alias of a long scalar is a full copy for whoever reads the tree, so
// the text that aliases stand for may not exceed max(kMinAliasedTextBytes, kExpansionFactor *
// the document's bytes).
inline constexpr std::size_t kMinAliasedTextBytes = std::size_t{16} << 20;
// Duplicate-key records (key and path texts) are kept up to this many bytes; later repeats are
// still resolved, just not recorded. Deep nesting times many repeats would otherwise cost memory
// far beyond the input's size.
inline constexpr std::size_t kMaxDuplicateRecordBytes = std::size_t{16} << 20;
// From this input size on, the text is parsed on a second thread while the first builds.
inline constexpr std::size_t kParseAheadBytes = std::size_t{1} << 20;

// The limits a read applies, each defaulting to its constant above; a caller may tighten them
// (a service reading small documents) or widen them.
struct Limits {
  std::size_t max_depth = kMaxDepth;
  std::size_t max_document_bytes = kMaxDocumentBytes;
  std::size_t max_scalar_bytes = kMaxScalarBytes;
  std::size_t min_expansion_budget = kMinExpansionBudget;
  std::size_t expansion_factor = kExpansionFactor;
  std::size_t min_aliased_text_bytes = kMinAliasedTextBytes;
  std::size_t max_duplicate_record_bytes = kMaxDuplicateRecordBytes;
  // Not a limit: from this input size on the text is parsed on a second thread (0: always).
  std::size_t parse_ahead_bytes = kParseAheadBytes;
};

// Every fault of reading: libyaml's own problem text, or one of ours (a refused tag, a second
// document, a recursive alias, a limit), with where it happened.
// The step of reading a fault comes from, as YAML loaders class their errors: decoding the
// bytes, scanning tokens, parsing the structure, composing nodes (anchors, aliases, documents),
// constructing values (tags, keys, merges), or a limit of ours.
enum class YamlStage { reader, scanner, parser, composer, constructor, limit };

class YamlError : public std::runtime_error {
 public:
  // `message` is the fault as told to the one editing the text; empty: the problem itself.
  YamlError(std::string problem, std::string file, Mark mark, YamlStage stage = YamlStage::limit,
            std::string context = {}, Mark context_mark = {}, std::string message = {},
            Mark found_mark = {});

  const std::string& problem() const { return problem_; }
  // A syntax fault leads with its line and what is wrong there ("line 7: a tab cannot indent
  // YAML; use spaces (...)"); what() is "FILE:LINE:COLUMN: " and this.
  const std::string& message() const { return message_; }
  const std::string& file() const { return file_; }
  Mark mark() const { return mark_; }
  YamlStage stage() const { return stage_; }
  // The construct the fault was found in ("while scanning a simple key") and where it began;
  // empty and unknown for faults that have none.
  const std::string& context() const { return context_; }
  Mark context_mark() const { return context_mark_; }
  // Where the fault was found, as YAML loaders mark it: mark() but for a fault found at the end
  // of the text, where mark() names the unfinished construct (or the last character) instead.
  Mark found_mark() const { return found_mark_.known() ? found_mark_ : mark_; }

 private:
  std::string problem_;
  std::string message_;
  std::string file_;
  Mark mark_;
  YamlStage stage_;
  std::string context_;
  Mark context_mark_;
  Mark found_mark_;
};

// What a read document holds:
// - untagged plain scalars resolved by the YAML 1.1 implicit rules (see resolver.hpp); standard
//   tags honoured, any other tag refused; `!` alone makes a string;
// - aliases as shared pointers to their anchored node; an undefined, duplicate or recursive
//   anchor is an error;
// - merge keys (`<<`) applied: merged entries first, then the mapping's own, which win;
// - for a key written twice in one mapping, one entry at the first key's position holding the
//   later key and value, recorded in Document::duplicates() with its path.
// Every fault throws YamlError, except file system faults (see read_file).

// Parses text as one document. `name` is used in errors and kept as Document::name().
Document read_string(std::string_view text, std::string name = "<string>",
                     const Limits& limits = {});

// Parses text as one document, handing the items of the sequences that `stream` takes over to it
// as each completes (see item_stream.hpp); a null stream takes nothing.
Document read_string(std::string_view text, std::string name, ItemStream* stream,
                     const Limits& limits = {});
// Reads a file; a missing or unreadable file throws std::filesystem::filesystem_error naming the
// path and the system's reason.
Document read_file(const std::filesystem::path& path, const Limits& limits = {});
// Reads standard input to its end; a read fault throws std::system_error.
Document read_stdin(const Limits& limits = {});

// A regular file read in pieces while it is parsed, so that its text is never held whole (for a
// large document the text would be the largest thing a load holds). Its faults quote no source
// line: a caller that must show one reads the text whole (read_file_text) and parses that.
class FilePieces {
 public:
  // nullopt when the file cannot be opened or read, is not a regular file, or is over the size
  // limit: reading it whole says why.
  static std::optional<FilePieces> open(const std::filesystem::path& path, const Limits& limits);
  FilePieces(FilePieces&& other) noexcept;
  FilePieces& operator=(FilePieces&&) = delete;
  FilePieces(const FilePieces&) = delete;
  ~FilePieces();

  // The file's first piece, read ahead (a first-line comment can be read before parsing);
  // `whole` when it is all of the file.
  std::string_view head() const { return head_; }
  bool whole() const { return at_end_; }
  // The file's size when it was opened.
  std::size_t size() const { return size_; }
  // Copies the next bytes into `buffer` (the head first); `got` 0 at the end. False on a read
  // fault, or when the file has grown past the size limit since it was opened.
  bool read(unsigned char* buffer, std::size_t capacity, std::size_t& got);

 private:
  FilePieces(int fd, std::size_t size, std::size_t max_bytes) noexcept
      : fd_(fd), size_(size), max_bytes_(max_bytes) {}

  int fd_;
  std::size_t size_;
  std::size_t max_bytes_;
  std::string head_;
  std::size_t head_served_ = 0;
  std::size_t total_ = 0;  // bytes read so far, the head's included
  bool at_end_ = false;
};

// Parses a file read in pieces, as read_string with a stream does a text.
Document read_pieces(FilePieces& input, std::string name, ItemStream* stream,
                     const Limits& limits = {});

// The raw text behind read_file and read_stdin, with the same errors and size limit, for callers
// that also want to show source lines.
std::string read_file_text(const std::filesystem::path& path, const Limits& limits = {});
std::string read_stdin_text(const Limits& limits = {});

}  // namespace tarnwick::yaml
