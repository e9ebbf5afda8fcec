#include "tarnwick/yaml/reader.hpp"

#include <string>
#include <utility>

#include "event_reader.hpp"

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

}  // namespace

YamlError::YamlError(std::string problem, std::string file, Mark mark, YamlStage stage,
                     std::string context, Mark context_mark, std::string message, Mark found_mark)
    : std::runtime_error(render(message.empty() ? problem : message, file, mark)),
      problem_(std::move(problem)),
      message_(message.empty() ? problem_ : std::move(message)),
      file_(std::move(file)),
      mark_(mark),
      stage_(stage),
      context_(std::move(context)),
      context_mark_(context_mark),
      found_mark_(found_mark) {}

Document read_string(std::string_view text, std::string name, const Limits& limits) {
  return read_string(text, std::move(name), nullptr, limits);
}

Document read_string(std::string_view text, std::string name, ItemStream* stream,
                     const Limits& limits) {
  if (text.size() > limits.max_document_bytes) {
    throw YamlError("document of " + std::to_string(text.size()) +
                        " bytes is larger than the limit of " +
                        std::to_string(limits.max_document_bytes) + " bytes",
                    std::move(name), Mark{});
  }
  return detail::Reader(text, std::move(name), stream, limits).run();
}

Document read_pieces(FilePieces& input, std::string name, ItemStream* stream,
                     const Limits& limits) {
  return detail::Reader(input, std::move(name), stream, limits).run();
}

Document read_file(const std::filesystem::path& path, const Limits& limits) {
  return read_string(read_file_text(path, limits), path.string(), limits);
}

Document read_stdin(const Limits& limits) {
  return read_string(read_stdin_text(limits), "<stdin>", limits);
}

}  // namespace tarnwick::yaml
