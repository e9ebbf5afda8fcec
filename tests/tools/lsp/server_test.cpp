// The server driven over pipes as a client drives it: framing, lifecycle, diagnostics that
// follow edits, quick fixes.
#include <ext/stdio_filebuf.h>
#include <fcntl.h>
#include <unistd.h>

#include <future>
#include <istream>
#include <ostream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "lsp/server.hpp"
#include "support/run_tool.hpp"

namespace lsp = tarnwick::lsp;
using nlohmann::json;

namespace {

// One end of a pipe as a stream.
struct PipeEnd {
  explicit PipeEnd(int fd, std::ios::openmode mode) : buf(fd, mode), in(&buf), out(&buf) {}
  __gnu_cxx::stdio_filebuf<char> buf;
  std::istream in;
  std::ostream out;
};

class Session {
 public:
  explicit Session(lsp::ServerOptions options = {}) {
    int to_server[2], from_server[2];
    EXPECT_EQ(::pipe2(to_server, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(from_server, O_CLOEXEC), 0);
    server_in_ = std::make_unique<PipeEnd>(to_server[0], std::ios::in);
    server_out_ = std::make_unique<PipeEnd>(from_server[1], std::ios::out);
    client_in_ = std::make_unique<PipeEnd>(from_server[0], std::ios::in);
    client_out_ = std::make_unique<PipeEnd>(to_server[1], std::ios::out);
    client_ = std::make_unique<lsp::Transport>(client_in_->in, client_out_->out);
    server_ = std::make_unique<lsp::Transport>(server_in_->in, server_out_->out);
    status_ = std::async(std::launch::async, [this, options] {
      const int status = lsp::Server(*server_, options).run();
      server_out_.reset();  // the client sees the end
      return status;
    });
  }
  ~Session() {
    close_input();
    if (status_.valid()) status_.wait();
  }

  void send(const json& m) { client_->send(m); }
  void raw(const std::string& bytes) { client_out_->out << bytes << std::flush; }
  json next() { return client_->read().value_or(json()); }
  json call(const std::string& method, json params = json::object()) {
    send({{"jsonrpc", "2.0"}, {"id", ++id_}, {"method", method}, {"params", params}});
    for (;;) {
      json m = next();
      if (m.is_null() || m.value("id", json()) == id_) return m;
    }
  }
  // The next diagnostics published for `version`.
  json diagnostics(int version) {
    for (;;) {
      json m = next();
      if (m.is_null()) return m;
      if (m.value("method", "") == "textDocument/publishDiagnostics" &&
          m["params"].value("version", -1) == version) {
        return m["params"]["diagnostics"];
      }
    }
  }
  void initialize(json options = json::object()) {
    ASSERT_TRUE(call("initialize", {{"initializationOptions", options}}).contains("result"));
  }
  void open(const std::string& text, int version = 1) {
    send(lsp::notification("textDocument/didOpen",
                           {{"textDocument", {{"uri", kUri}, {"version", version}, {"text", text}}}}));
  }
  void change(json changes, int version) {
    send(lsp::notification("textDocument/didChange",
                           {{"textDocument", {{"uri", kUri}, {"version", version}}},
                            {"contentChanges", changes}}));
  }
  void close_input() {
    if (client_out_) client_out_.reset();
  }
  int status() {
    close_input();
    return status_.get();
  }

  static constexpr const char* kUri = "file:///work/doc.yaml";

 private:
  std::unique_ptr<PipeEnd> server_in_, server_out_, client_in_, client_out_;
  std::unique_ptr<lsp::Transport> client_, server_;
  std::future<int> status_;
  int id_ = 0;
};

std::string example(const char* name) {
  return tarnwick::testing::slurp(std::string(TARNWICK_SOURCE_DIR) + "/examples/" + name);
}

json range(int l1, int c1, int l2, int c2) {
  return {{"start", {{"line", l1}, {"character", c1}}}, {"end", {{"line", l2}, {"character", c2}}}};
}

std::vector<std::string> codes(const json& diagnostics) {
  std::vector<std::string> out;
  for (const json& d : diagnostics) out.push_back(d["code"]);
  return out;
}

}  // namespace

TEST(LspServer, AnswersTheProtocolsErrorsAndEndsAsTheClientAsks) {
  Session s;
  EXPECT_EQ(s.call("textDocument/hover")["error"]["code"], -32002);  // before initialize
  s.initialize();
  EXPECT_EQ(s.call("no/such")["error"]["code"], -32601);
  EXPECT_EQ(s.call("textDocument/hover", {{"textDocument", {{"uri", "file:///nope"}}}})["error"]["code"],
            -32602);
  s.raw("Content-Length: 5\r\n\r\n{nope");
  EXPECT_EQ(s.next()["error"]["code"], -32700);  // and the server reads on
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  s.raw("Content-Length: " + std::to_string(deep.size()) + "\r\n\r\n" + deep);
  EXPECT_EQ(s.next()["error"]["code"], -32700);
  EXPECT_EQ(s.call("shutdown")["result"], nullptr);
  s.send(lsp::notification("exit", nullptr));
  EXPECT_EQ(s.status(), 0);

  Session gone;  // a client that goes away without shutdown
  gone.initialize();
  EXPECT_EQ(gone.status(), 1);
}

TEST(LspServer, DiagnosticsFollowEditsAndTheMode) {
  Session s;
  s.initialize();
  const std::string text = example("invalid.yaml");
  s.open(text);
  const json first = s.diagnostics(1);
  ASSERT_EQ(first.size(), 12u);
  EXPECT_EQ(first[3]["range"], range(9, 17, 9, 28));  // corvane.controller_ip: 10.10.0.300
  EXPECT_EQ(first[3]["relatedInformation"][0]["message"], "octet 300 is over 255");

  s.change({{{"range", range(9, 17, 9, 28)}, {"text", "10.10.0.30"}}}, 2);
  const json fixed = s.diagnostics(2);
  EXPECT_EQ(fixed.size(), 11u);
  for (const json& d : fixed) EXPECT_NE(d["code"], "value_error.ipv4address");

  s.change({{{"text", "a: [\n"}}}, 3);  // a whole new text, malformed
  EXPECT_EQ(codes(s.diagnostics(3)), std::vector<std::string>{"document_error.malformed_yaml"});

  const std::string full = example("full.yaml");
  s.change({{{"text", full}}}, 4);
  EXPECT_TRUE(s.diagnostics(4).empty());
  s.change({{{"text", "# tarnwick-config: discovery-only\nid: vpc_discovery\n"}}}, 5);
  const json relaxed = s.diagnostics(5);
  s.change({{{"text", "id: vpc_discovery\n"}}}, 6);
  EXPECT_LT(relaxed.size(), s.diagnostics(6).size());  // without the comment: the whole check
}

TEST(LspServer, QuickFixesWriteWhatTheFaultNames) {
  Session s;
  s.initialize();
  s.open("lable: x\nid: vpc_discovery\n");  // a first key starts where its mapping does
  const json found = s.diagnostics(1);
  json typo;
  for (const json& d : found) {
    if (d["code"] == "value_error.extra") typo = d;
  }
  ASSERT_TRUE(typo.is_object());
  EXPECT_EQ(typo["range"], range(0, 0, 0, 5));
  typo.erase("data");  // a client that does not send data back is answered all the same
  const json actions = s.call("textDocument/codeAction",
                              {{"textDocument", {{"uri", Session::kUri}}},
                               {"range", typo["range"]},
                               {"context", {{"diagnostics", {typo}}}}})["result"];
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0]["edit"]["changes"][Session::kUri][0]["newText"], "label");
}

TEST(LspChecker, PublishesOnlyTheLatestVersion) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<void> started;
  std::vector<std::int64_t> published;
  std::mutex m;
  {
    lsp::Checker checker(
        [&](const std::string&, std::int64_t version, json) {
          const std::lock_guard<std::mutex> lock(m);
          published.push_back(version);
        },
        [&](const std::string&, const std::string& text, bool) {
          if (text == "one") {
            started.set_value();
            released.wait();  // held up while newer versions come
          }
          return json::array();
        },
        std::chrono::milliseconds(1));
    checker.schedule("u", 1, "one", false);
    started.get_future().wait();
    checker.schedule("u", 2, "two", false);
    checker.schedule("u", 3, "three", false);
    release.set_value();
    for (int i = 0; i < 500; ++i) {
      {
        const std::lock_guard<std::mutex> lock(m);
        if (!published.empty()) break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  EXPECT_EQ(published, std::vector<std::int64_t>{3});
}
