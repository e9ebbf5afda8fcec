#include "lsp/server.hpp"

#include <csignal>
#include <exception>
#include <iostream>
#include <utility>

#include "lsp/code_actions.hpp"
#include "lsp/diagnostics.hpp"
#include "lsp/features.hpp"
#include "lsp/outline.hpp"
#include "lsp/positions.hpp"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "0.0.0"
#endif

namespace tarnwick::lsp {

namespace {

// A request that cannot be served: its error code and message go back to the client.
struct RequestError {
  int code;
  std::string message;
};

const nlohmann::json& member(const nlohmann::json& params, const char* key) {
  static const nlohmann::json kNull;
  if (!params.is_object()) return kNull;
  const auto it = params.find(key);
  return it == params.end() ? kNull : *it;
}

std::string uri_of(const nlohmann::json& params) {
  const nlohmann::json& uri = member(member(params, "textDocument"), "uri");
  if (!uri.is_string())
    throw RequestError{rpc_error::kInvalidParams, "textDocument.uri is missing"};
  return uri.get<std::string>();
}

// Our requests' ids: a prefix no client uses for its own, and a count.
constexpr const char* kConfigurationId = "tarnwick-config/configuration/";

// A setting read leniently: a missing or non-boolean value leaves it as it was.
void read_mode(const nlohmann::json& settings, bool& discovery_only) {
  const nlohmann::json& value = member(settings, "discoveryOnly");
  if (value.is_boolean()) discovery_only = value.get<bool>();
}

nlohmann::json capabilities() {
  return {{"positionEncoding", "utf-16"},
          {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
          {"hoverProvider", true},
          {"completionProvider", {{"triggerCharacters", {":", " ", "-"}}}},
          {"documentSymbolProvider", true},
          {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}}};
}

}  // namespace

Server::Server(Transport& transport, ServerOptions options)
    : transport_(transport),
      checker_([this](const std::string& uri, std::int64_t version,
                      nlohmann::json found) { published(uri, version, std::move(found)); },
               options.check ? std::move(options.check)
                             : Checker::Check([](const std::string& uri, const std::string& text,
                                                 bool discovery_only) {
                                 return diagnostics(uri, text, discovery_only);
                               }),
               options.quiet) {}

int Server::run() {
  for (;;) {
    std::optional<nlohmann::json> message;
    try {
      message = transport_.read();
    } catch (const FramingError& e) {
      std::cerr << "tarnwick-config lsp: " << e.what() << "\n";
      if (!e.recoverable) return 1;
      transport_.send(error_response(nullptr, rpc_error::kParseError, e.what()));
      continue;
    }
    if (!message) return shutdown_ ? 0 : 1;  // the client is gone
    if (!handle(*message)) return shutdown_ ? 0 : 1;
  }
}

bool Server::handle(const nlohmann::json& message) {
  const nlohmann::json& method = member(message, "method");
  const bool is_request = message.is_object() && message.contains("id");
  const nlohmann::json id = is_request ? message["id"] : nlohmann::json();
  if (!method.is_string()) {
    // A response to a request of ours (only the last configuration request is read) or no
    // message at all.
    if (is_request && message.contains("result")) {
      if (id == kConfigurationId + std::to_string(configuration_requests_)) {
        configuration_answered(message["result"]);
      }
    } else if (is_request && !message.contains("error")) {
      transport_.send(error_response(id, rpc_error::kInvalidRequest, "no method"));
    }
    return true;
  }
  const std::string name = method.get<std::string>();
  if (name == "exit") return false;
  const nlohmann::json& params = member(message, "params");
  try {
    if (is_request) {
      transport_.send(response(id, request(name, params)));
    } else {
      notify(name, params);
    }
  } catch (const RequestError& e) {
    if (is_request) transport_.send(error_response(id, e.code, e.message));
  } catch (const std::exception& e) {
    // A fault of ours answers the one request; the server goes on.
    if (is_request) transport_.send(error_response(id, rpc_error::kInternalError, e.what()));
    std::cerr << "tarnwick-config lsp: " << name << ": " << e.what() << "\n";
  }
  return true;
}

nlohmann::json Server::request(const std::string& method, const nlohmann::json& params) {
  if (method == "initialize") return initialize(params);
  if (!initialized_) throw RequestError{rpc_error::kServerNotInitialized, "not initialized"};
  if (method == "shutdown") {
    shutdown_ = true;
    return nullptr;
  }
  if (shutdown_) throw RequestError{rpc_error::kInvalidRequest, "the server is shutting down"};
  if (method == "textDocument/hover" || method == "textDocument/completion") {
    const Document& doc = document(params);
    const LineIndex index(doc.text);
    const Position at = position_of(member(params, "position"));
    return method == "textDocument/hover" ? hover(index, at) : completion(index, at);
  }
  if (method == "textDocument/documentSymbol") return document_symbols(params);
  if (method == "textDocument/codeAction") return code_actions(params);
  throw RequestError{rpc_error::kMethodNotFound, "unknown method: " + method};
}

void Server::notify(const std::string& method, const nlohmann::json& params) {
  if (!initialized_) return;  // notifications before initialize are dropped
  if (method == "textDocument/didOpen") return did_open(params);
  if (method == "textDocument/didChange") return did_change(params);
  if (method == "textDocument/didClose") return did_close(params);
  if (method == "workspace/didChangeConfiguration") return did_change_configuration(params);
  if (method == "initialized") return pull_configuration();
  // didSave, $/cancelRequest, $/setTrace...: nothing to do.
}

nlohmann::json Server::initialize(const nlohmann::json& params) {
  if (initialized_) throw RequestError{rpc_error::kInvalidRequest, "initialized twice"};
  initialized_ = true;
  read_mode(member(params, "initializationOptions"), discovery_only_);
  const nlohmann::json& offered =
      member(member(member(params, "capabilities"), "workspace"), "configuration");
  can_pull_configuration_ = offered.is_boolean() && offered.get<bool>();
  return {{"capabilities", capabilities()},
          {"serverInfo", {{"name", "tarnwick-config"}, {"version", TARNWICK_VERSION}}}};
}

Server::Document& Server::document(const nlohmann::json& params) {
  const auto it = documents_.find(uri_of(params));
  if (it == documents_.end()) throw RequestError{rpc_error::kInvalidParams, "document not open"};
  return it->second;
}

bool Server::discovery_only(const std::string& text) const {
  return mode_comment(text).value_or(discovery_only_);
}

void Server::check(const std::string& uri, const Document& doc) {
  checker_.schedule(uri, doc.version, doc.text, discovery_only(doc.text));
}

void Server::did_open(const nlohmann::json& params) {
  const nlohmann::json& item = member(params, "textDocument");
  const nlohmann::json& text = member(item, "text");
  if (!text.is_string()) throw RequestError{rpc_error::kInvalidParams, "no text"};
  const std::string uri = uri_of(params);
  const nlohmann::json& version = member(item, "version");
  Document& doc = documents_[uri] = Document{text.get<std::string>(), 0, std::nullopt};
  if (version.is_number_integer()) doc.version = version.get<std::int64_t>();
  check(uri, doc);
}

void Server::did_change(const nlohmann::json& params) {
  const std::string uri = uri_of(params);
  Document& doc = document(params);
  const nlohmann::json& changes = member(params, "contentChanges");
  if (!changes.is_array()) throw RequestError{rpc_error::kInvalidParams, "no contentChanges"};
  for (const nlohmann::json& change : changes) {
    const nlohmann::json& text = member(change, "text");
    if (!text.is_string()) throw RequestError{rpc_error::kInvalidParams, "a change has no text"};
    if (!change.contains("range")) {
      doc.text = text.get<std::string>();
      continue;
    }
    // Offsets of both ends are taken before the edit: the range is in the text as it was.
    const LineIndex index(doc.text);
    const Range range = range_of(change["range"]);
    const std::size_t from = index.offset(range.start);
    const std::size_t to = std::max(from, index.offset(range.end));
    doc.text.replace(from, to - from, text.get<std::string>());
  }
  const nlohmann::json& version = member(member(params, "textDocument"), "version");
  doc.version = version.is_number_integer() ? version.get<std::int64_t>() : doc.version + 1;
  check(uri, doc);
}

void Server::did_close(const nlohmann::json& params) {
  const std::string uri = uri_of(params);
  documents_.erase(uri);
  checker_.forget(uri);
  {
    const std::lock_guard<std::mutex> lock(published_mutex_);
    published_.erase(uri);
  }
  // A closed document keeps no marks in the editor.
  transport_.send(notification("textDocument/publishDiagnostics",
                               {{"uri", uri}, {"diagnostics", nlohmann::json::array()}}));
}

void Server::did_change_configuration(const nlohmann::json& params) {
  // A client that answers workspace/configuration may send no settings here (only the news that
  // they changed): they are asked for.
  bool mode = discovery_only_;
  read_mode(member(member(params, "settings"), "tarnwick"), mode);
  set_mode(mode);
  pull_configuration();
}

void Server::pull_configuration() {
  if (!can_pull_configuration_ || shutdown_) return;
  ++configuration_requests_;
  transport_.send({{"jsonrpc", "2.0"},
                   {"id", kConfigurationId + std::to_string(configuration_requests_)},
                   {"method", "workspace/configuration"},
                   {"params", {{"items", nlohmann::json::array({{{"section", "tarnwick"}}})}}}});
}

void Server::configuration_answered(const nlohmann::json& result) {
  if (!result.is_array() || result.empty()) return;
  bool mode = discovery_only_;
  read_mode(result[0], mode);
  set_mode(mode);
}

void Server::set_mode(bool discovery_only) {
  if (discovery_only == discovery_only_) return;
  discovery_only_ = discovery_only;
  for (const auto& [uri, doc] : documents_) check(uri, doc);
}

nlohmann::json Server::document_symbols(const nlohmann::json& params) {
  Document& doc = document(params);
  // A text in the middle of an edit that is no YAML keeps the last good outline.
  if (auto outline = lsp::document_symbols(LineIndex(doc.text))) doc.outline = std::move(outline);
  return doc.outline.value_or(nlohmann::json::array());
}

nlohmann::json Server::code_actions(const nlohmann::json& params) {
  const std::string uri = uri_of(params);
  document(params);  // must be open
  const nlohmann::json& asked = member(member(params, "context"), "diagnostics");
  const std::lock_guard<std::mutex> lock(published_mutex_);
  const auto it = published_.find(uri);
  return quick_fixes(uri, asked, it == published_.end() ? nlohmann::json() : it->second);
}

void Server::published(const std::string& uri, std::int64_t version, nlohmann::json found) {
  {
    const std::lock_guard<std::mutex> lock(published_mutex_);
    published_[uri] = found;
  }
  transport_.send(
      notification("textDocument/publishDiagnostics",
                   {{"uri", uri}, {"version", version}, {"diagnostics", std::move(found)}}));
}

int serve_stdio() {
  // An editor that goes away closes the pipe: a write then fails instead of killing the
  // process, and the read that follows ends the server.
  std::signal(SIGPIPE, SIG_IGN);
  std::ios::sync_with_stdio(false);
  Transport transport(std::cin, std::cout);
  Server server(transport);
  return server.run();
}

}  // namespace tarnwick::lsp
