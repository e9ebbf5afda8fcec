// `tarnwick-config lsp`: the language server over one transport. The reading thread answers
// requests (hover, completion, outline and quick fixes are computed from the text at once); the
// check runs on the Checker's worker and is pushed as diagnostics.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "lsp/checker.hpp"
#include "lsp/rpc.hpp"

namespace tarnwick::lsp {

struct ServerOptions {
  // How long a change waits for the next one before it is checked.
  std::chrono::milliseconds quiet{50};
  Checker::Check check;  // empty: the whole check of diagnostics.hpp
};

class Server {
 public:
  explicit Server(Transport& transport, ServerOptions options = {});

  // Serves until `exit` or the end of the input. Returns the process's exit status: 0 after a
  // `shutdown` request, 1 otherwise (as the protocol asks).
  int run();

 private:
  struct Document {
    std::string text;
    std::int64_t version = 0;
    std::optional<nlohmann::json> outline;  // the last outline of a text that was YAML
  };

  // One step of run(): false when the server is to end.
  bool handle(const nlohmann::json& message);
  nlohmann::json request(const std::string& method, const nlohmann::json& params);
  void notify(const std::string& method, const nlohmann::json& params);

  nlohmann::json initialize(const nlohmann::json& params);
  void did_open(const nlohmann::json& params);
  void did_change(const nlohmann::json& params);
  void did_close(const nlohmann::json& params);
  void did_change_configuration(const nlohmann::json& params);
  // Asks the client for the `tarnwick` settings (when it offers workspace/configuration), and
  // takes its answer.
  void pull_configuration();
  void configuration_answered(const nlohmann::json& result);
  // The mode became `discovery_only`: every open document is checked again if it changed.
  void set_mode(bool discovery_only);
  nlohmann::json document_symbols(const nlohmann::json& params);
  nlohmann::json code_actions(const nlohmann::json& params);

  Document& document(const nlohmann::json& params);  // textDocument.uri, or InvalidParams
  bool discovery_only(const std::string& text) const;
  void check(const std::string& uri, const Document& doc);
  void published(const std::string& uri, std::int64_t version, nlohmann::json diagnostics);

  Transport& transport_;
  std::map<std::string, Document> documents_;
  bool can_pull_configuration_ = false;
  std::int64_t configuration_requests_ = 0;  // the id of our last request is its count
  bool initialized_ = false;
  bool shutdown_ = false;
  bool discovery_only_ = false;  // the workspace's setting

  std::mutex published_mutex_;
  std::map<std::string, nlohmann::json> published_;  // last diagnostics sent, for quick fixes

  Checker checker_;  // last: its worker may call published() until it is destroyed
};

// Runs the server on standard input and output.
int serve_stdio();

}  // namespace tarnwick::lsp
