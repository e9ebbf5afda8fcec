// JSON-RPC 2.0 messages in the protocol's framing: a header block ("Content-Length: N", CRLF
// separated, ended by an empty line) and N bytes of JSON.
#pragma once

#include <cstddef>
#include <istream>
#include <mutex>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace tarnwick::lsp {

// Error codes of JSON-RPC and of the protocol.
namespace rpc_error {
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kInternalError = -32603;
inline constexpr int kServerNotInitialized = -32002;
inline constexpr int kRequestFailed = -32803;
}  // namespace rpc_error

// A frame that cannot be read. `recoverable`: the body was skipped whole, so the next message
// can still be read (its JSON was malformed); otherwise the stream is out of step and must end.
struct FramingError : std::runtime_error {
  FramingError(const std::string& what, bool recoverable)
      : std::runtime_error(what), recoverable(recoverable) {}
  bool recoverable;
};

class Transport {
 public:
  // A whole document travels in one message; more than this is no editor's doing, and refusing
  // it keeps a broken client from making the server hold gigabytes.
  static constexpr std::size_t kMaxMessageBytes = std::size_t{256} << 20;
  // Protocol messages nest a handful of levels; a workspace edit or a setting a few more.
  static constexpr int kMaxDepth = 64;

  // A read must never flush the output behind the write lock (std::cin is tied to std::cout,
  // and a flush from the reading thread would interleave with another thread's frame), so the
  // input is untied from whatever it was tied to.
  Transport(std::istream& in, std::ostream& out) : in_(in), out_(out) { in_.tie(nullptr); }

  // The next message; nullopt when the input has ended (the client is gone). Reads on one
  // thread only.
  std::optional<nlohmann::json> read();
  // Writes one message whole; safe from any thread.
  void send(const nlohmann::json& message);

 private:
  std::istream& in_;
  std::ostream& out_;
  std::mutex write_;
};

// Message builders.
nlohmann::json response(const nlohmann::json& id, nlohmann::json result);
nlohmann::json error_response(const nlohmann::json& id, int code, const std::string& message);
nlohmann::json notification(const std::string& method, nlohmann::json params);

}  // namespace tarnwick::lsp
