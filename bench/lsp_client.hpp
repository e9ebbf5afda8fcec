// A minimal language-server client for the benchmark: `PROGRAM lsp` on two pipes, JSON-RPC
// messages in Content-Length frames, every wait bounded so that a silent server fails the run
// instead of hanging it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>

namespace tarnwick::bench {

class LspClient {
 public:
  using Clock = std::chrono::steady_clock;
  using Json = nlohmann::json;

  explicit LspClient(const std::string& program);
  ~LspClient();  // a server still running is terminated and reaped
  LspClient(const LspClient&) = delete;
  LspClient& operator=(const LspClient&) = delete;

  void notify(const std::string& method, Json params);
  // The result of the request; throws on an error answer or when none comes in time.
  Json request(const std::string& method, Json params, std::chrono::milliseconds wait);
  // The diagnostics published for this version of the document; earlier publications and
  // other notifications are skipped.
  Json diagnostics(const std::string& uri, long version, std::chrono::milliseconds wait);
  // shutdown, then exit: the server's exit status (128 + signal if it was killed).
  int finish(std::chrono::milliseconds wait);

 private:
  void send(const Json& message);
  Json receive(Clock::time_point deadline);
  bool answer_if_request(const Json& message);
  void read_some(int timeout_ms);
  int reap(Clock::time_point deadline);

  pid_t pid_ = -1;
  int to_server_ = -1;
  int from_server_ = -1;
  std::string received_;
  long next_id_ = 1;
};

}  // namespace tarnwick::bench
