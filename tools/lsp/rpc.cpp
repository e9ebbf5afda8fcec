#include "lsp/rpc.hpp"

#include <charconv>
#include <istream>
#include <string_view>

namespace tarnwick::lsp {

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

bool same_letters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A header line's Content-Length, if it is that header.
std::optional<std::size_t> content_length(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  if (!same_letters(trim(line.substr(0, colon)), "content-length")) return std::nullopt;
  const std::string_view value = trim(line.substr(colon + 1));
  std::size_t n = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (ec != std::errc() || end != value.data() + value.size()) {
    throw FramingError("bad Content-Length: " + std::string(value), false);
  }
  return n;
}

// One header line without its LF, read no further than `limit` bytes: a client that never ends a
// line cannot make the server hold it. False at the end of the input with nothing read.
bool header_line(std::istream& in, std::string& line, std::size_t limit) {
  line.clear();
  for (std::istream::int_type c; (c = in.get()) != std::istream::traits_type::eof();) {
    if (c == '\n') return true;
    if (line.size() == limit) throw FramingError("header line too long", false);
    line += std::istream::traits_type::to_char_type(c);
  }
  return !line.empty();
}

}  // namespace

std::optional<nlohmann::json> Transport::read() {
  std::optional<std::size_t> length;
  std::string line;
  bool any_header = false;
  for (;;) {
    if (!header_line(in_, line, 4096)) {
      if (any_header) throw FramingError("input ended inside a message header", false);
      return std::nullopt;
    }
    const std::string_view l = trim(line);
    if (l.empty()) {
      if (any_header) break;
      continue;  // stray blank lines between messages
    }
    any_header = true;
    if (auto n = content_length(l)) length = n;
  }
  if (!length) throw FramingError("message without Content-Length", false);
  if (*length > kMaxMessageBytes) throw FramingError("message too large", false);
  std::string body(*length, '\0');
  if (!in_.read(body.data(), static_cast<std::streamsize>(body.size()))) {
    throw FramingError("input ended inside a message", false);
  }
  // No message of the protocol nests deeply; refusing one that does keeps the recursive parts
  // of the JSON library (dump, compare) off a hostile client's stack.
  bool too_deep = false;
  nlohmann::json message = nlohmann::json::parse(
      body,
      // The callback sees a container's start at its parent's depth: kMaxDepth levels in all.
      [&too_deep](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
        if (depth >= kMaxDepth) too_deep = true;
        return !too_deep;
      },
      false);
  if (too_deep) throw FramingError("message nested too deeply", true);
  if (message.is_discarded()) throw FramingError("message is not JSON", true);
  return message;
}

void Transport::send(const nlohmann::json& message) {
  // Invalid UTF-8 from a document never aborts a reply: it is replaced.
  const std::string body = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  const std::lock_guard<std::mutex> lock(write_);
  out_ << "Content-Length: " << body.size() << "\r\n\r\n" << body << std::flush;
}

nlohmann::json response(const nlohmann::json& id, nlohmann::json result) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

nlohmann::json error_response(const nlohmann::json& id, int code, const std::string& message) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

nlohmann::json notification(const std::string& method, nlohmann::json params) {
  return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

}  // namespace tarnwick::lsp
