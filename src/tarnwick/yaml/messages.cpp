// The reader's message texts, and what libyaml's syntax faults mean for the one editing the text.
#include "messages.hpp"

#include <algorithm>
#include <cstdint>

namespace tarnwick::yaml::detail {

std::string at(Mark mark) {
  return "line " + std::to_string(mark.line) + ", column " + std::to_string(mark.column);
}

std::string quoted(std::string_view text) {
  constexpr std::size_t kMax = 40;
  std::string out = "\"";
  if (text.size() <= kMax) {
    out += text;
  } else {
    // Cut on a character boundary.
    std::size_t cut = kMax;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    out += text.substr(0, cut);
    out += "...";
  }
  return out + "\"";
}

std::string written_tag(std::string_view uri) {
  constexpr std::string_view kStd = "tag:yaml.org,2002:";
  if (uri.substr(0, kStd.size()) == kStd) return "!!" + std::string(uri.substr(kStd.size()));
  if (!uri.empty() && uri[0] == '!') return std::string(uri);
  return "!<" + std::string(uri) + ">";
}

namespace {

bool line_break(char c) {
  return c == '\n' || c == '\r';
}

// One line of the text, its number and where it begins.
struct Line {
  std::string_view text;
  std::uint32_t number;
  std::size_t start;
  // Columns of indentation (spaces), and whether a tab is among its leading blanks.
  std::size_t indent() const { return std::min(text.find_first_not_of(' '), text.size()); }
  bool tab_indented() const {
    const std::size_t content = text.find_first_not_of(" \t");
    return text.substr(0, content).find('\t') != std::string_view::npos;
  }
  bool content() const {
    const std::size_t first = text.find_first_not_of(" \t");
    return first != std::string_view::npos && text[first] != '#';
  }
};

Line line_at(std::string_view text, std::size_t offset, std::uint32_t number) {
  offset = std::min(offset, text.size());
  std::size_t start = offset;
  while (start > 0 && !line_break(text[start - 1])) --start;
  std::size_t end = offset;
  while (end < text.size() && !line_break(text[end])) ++end;
  return {text.substr(start, end - start), number, start};
}

// The nearest line above holding more than blanks and a comment; number 0 when none.
Line content_line_above(std::string_view text, const Line& line) {
  std::size_t at = line.start;
  for (std::uint32_t number = line.number; number > 1 && at > 0;) {
    --at;  // onto the break that ends the line above
    if (text[at] == '\n' && at > 0 && text[at - 1] == '\r') --at;
    const Line above = line_at(text, at, --number);
    if (above.content()) return above;
    at = above.start;
  }
  return {{}, 0, 0};
}

// Where a column (counted in characters from 1) begins in the line.
std::size_t byte_of_column(std::string_view line, std::uint32_t column) {
  std::size_t at = 0;
  for (std::uint32_t c = 1; c < column && at < line.size(); ++c) {
    ++at;
    while (at < line.size() && (static_cast<unsigned char>(line[at]) & 0xC0) == 0x80) ++at;
  }
  return at;
}

std::string line_no(std::uint32_t number) {
  return "line " + std::to_string(number);
}

// A short piece of the line in backticks: `text`.
std::string shown(std::string_view text) {
  std::string piece = quoted(text);
  return "`" + piece.substr(1, piece.size() - 2) + "`";
}

// The character at the fault when it is a printable ASCII one: "`]`"; else empty.
std::string char_at(const SyntaxFault& f) {
  if (f.offset >= f.text.size()) return {};
  const char c = f.text[f.offset];
  if (c <= ' ' || c > '~') return {};
  return "`" + std::string(1, c) + "`";
}

// "`: ` on the line before the fault": a second key on one line rather than an indentation.
bool colon_before(const Line& line, std::size_t offset) {
  const std::string_view before = line.text.substr(0, offset - line.start);
  return before.find(": ") != std::string_view::npos ||
         before.find(":\t") != std::string_view::npos;
}

std::string mapping_value_lead(const SyntaxFault& f, const Line& line) {
  if (colon_before(line, f.offset)) {
    return line_no(line.number) + " holds `: ` twice; quote the value that contains it";
  }
  const Line above = content_line_above(f.text, line);
  if (above.number != 0 && above.indent() < line.indent()) {
    return line_no(line.number) + " is indented more than " + line_no(above.number) +
           ", which already has a value";
  }
  return {};
}

// A line that lines up with none of the keys or items around it.
std::string misaligned_lead(const SyntaxFault& f, const Line& line, bool list) {
  const std::string whose = list ? "the items of its list" : "its mapping's keys";
  const std::string where = "at column " + std::to_string(f.context_mark.column) + " on " +
                            line_no(f.context_mark.line);
  const bool starts_line = f.offset - line.start == line.indent();
  if (starts_line && f.mark.column > f.context_mark.column) {
    return line_no(line.number) + " is indented more than " + whose + ", " + where;
  }
  if (starts_line && f.mark.column == f.context_mark.column) {
    const std::string_view rest = line.text.substr(line.indent());
    const bool item = rest == "-" || rest.starts_with("- ");
    if (list && !item) {
      return line_no(line.number) + " is as indented as the items of the list " + where +
             " but has no `- `";
    }
    if (!list && item) {
      return line_no(line.number) + ": a list item among the keys of the mapping " + where +
             "; nest the list under a key";
    }
    return {};
  }
  if (starts_line) return {};
  const std::size_t before = line.text.find_last_not_of(" \t", f.offset - line.start - 1);
  if (before != std::string_view::npos && (line.text[before] == '\'' || line.text[before] == '"')) {
    return line_no(line.number) +
           ": text follows the quoted value; put all of it inside the quotes";
  }
  const std::string found = char_at(f);
  return found.empty() ? std::string()
                       : line_no(line.number) + ": unexpected " + found + " after a complete value";
}

std::string flow_lead(const SyntaxFault& f, const Line& line, char open, char close) {
  std::string opened = "the `" + std::string(1, open) + "` ";
  opened += f.context_mark.line == line.number ? std::string("at")
                                               : "of " + line_no(f.context_mark.line) + ",";
  return line_no(line.number) + ": " + opened + " column " + std::to_string(f.context_mark.column) +
         " needs `,` between items or `" + std::string(1, close) + "` to close it";
}

// The text ended inside something unfinished; the mark is its last character.
std::string ended_lead(const SyntaxFault& f, const Line& line) {
  const char last = f.offset < f.text.size() ? f.text[f.offset] : '\0';
  if (last == '[' || last == '{') {
    return line_no(line.number) + ": the text ends before the `" + std::string(1, last) +
           "` at column " + std::to_string(f.mark.column) + " is closed";
  }
  if (f.context.find("flow") != std::string_view::npos) {
    return line_no(line.number) + ": the text ends inside a `[ ]` or `{ }` left open";
  }
  return line_no(line.number) + ": the text ends before this line is complete";
}

// What libyaml's problem means at this line; empty when there is no plainer way to say it.
std::string lead_of(const SyntaxFault& f, const Line& line) {
  const std::string_view p = f.problem, c = f.context;
  if (f.at_end) return ended_lead(f, line);
  if (line.tab_indented() || (f.offset < f.text.size() && f.text[f.offset] == '\t')) {
    return line_no(line.number) + ": a tab cannot indent YAML; use spaces";
  }
  if (p == "mapping values are not allowed in this context") return mapping_value_lead(f, line);
  if (p == "did not find expected key" && c == "while parsing a block mapping") {
    return misaligned_lead(f, line, false);
  }
  if (p == "did not find expected '-' indicator" && c == "while parsing a block collection") {
    return misaligned_lead(f, line, true);
  }
  if (c == "while scanning a quoted scalar" && p == "found unexpected end of stream") {
    return line_no(f.context_mark.line) + ": the quote at column " +
           std::to_string(f.context_mark.column) + " is never closed";
  }
  if (c == "while parsing a flow sequence" && p == "did not find expected ',' or ']'") {
    return flow_lead(f, line, '[', ']');
  }
  if (c == "while parsing a flow mapping" && p == "did not find expected ',' or '}'") {
    return flow_lead(f, line, '{', '}');
  }
  if (c == "while scanning a simple key" && p == "could not find expected ':'") {
    const std::size_t from =
        f.context_mark.line == line.number ? byte_of_column(line.text, f.context_mark.column) : 0;
    const std::string_view key = line.text.substr(from);
    return line_no(line.number) + ": `:` is missing after " +
           shown(key.substr(0, key.find_last_not_of(" \t") + 1));
  }
  if (p == "found character that cannot start any token" ||
      p == "did not find expected node content") {
    const std::string found = char_at(f);
    if (!found.empty()) {
      return line_no(line.number) + ": " + found + " cannot start a value; quote it";
    }
  }
  return {};
}

}  // namespace

std::string explain_syntax(const SyntaxFault& f) {
  const Line line = line_at(f.text, f.offset, f.mark.line);
  std::string context;
  if (!f.context.empty()) {
    context = std::string(f.context);
    // Past the end of the text, a position shows nothing.
    if (f.context_mark.known() && !(f.context_mark == f.mark) && !f.at_end) {
      context += " at " + at(f.context_mark);
    }
  }
  if (std::string lead = lead_of(f, line); !lead.empty()) {
    return lead + " (" + (context.empty() ? "" : context + ": ") + std::string(f.problem) + ")";
  }
  std::string out = line_no(line.number) + ": " + std::string(f.problem);
  if (!context.empty()) out += " (" + context + ")";
  return out;
}

}  // namespace tarnwick::yaml::detail
