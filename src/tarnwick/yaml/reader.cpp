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

YamlError::YamlError(std::string problem, std::string file, Mark mark)
    : std::runtime_error(render(problem, file, mark)),
      problem_(std::move(problem)),
      file_(std::move(file)),
      mark_(mark) {}

Document read_string(std::string_view text, std::string name) {
  return read_string(text, std::move(name), nullptr);
}

Document read_string(std::string_view text, std::string name, ItemStream* stream) {
  if (text.size() > kMaxDocumentBytes) {
    throw YamlError("document of " + std::to_string(text.size()) +
                        " bytes is larger than the limit of " + std::to_string(kMaxDocumentBytes) +
                        " bytes",
                    std::move(name), Mark{});
  }
  return detail::Reader(text, std::move(name), stream).run();
}

Document read_file(const std::filesystem::path& path) {
  return read_string(read_file_text(path), path.string());
}

Document read_stdin() {
  return read_string(read_stdin_text(), "<stdin>");
}

}  // namespace tarnwick::yaml
