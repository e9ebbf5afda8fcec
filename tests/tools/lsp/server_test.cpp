// The server driven over pipes as a client drives it: framing, lifecycle, diagnostics that
// follow edits, quick fixes.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <ext/stdio_filebuf.h>

#include <condition_variable>
#include <future>
#include <istream>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "lsp/diagnostics.hpp"
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
    // A write to a server that has ended fails instead of killing the test.
    std::signal(SIGPIPE, SIG_IGN);
    int to_server[2], from_server[2];
    EXPECT_EQ(::pipe2(to_server, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(from_server, O_CLOEXEC), 0);
    server_in_ = std::make_unique<PipeEnd>(to_server[0], std::ios::in);
    server_out_ = std::make_unique<PipeEnd>(from_server[1], std::ios::out);
    client_in_ = std::make_unique<PipeEnd>(from_server[0], std::ios::in);
    client_fd_ = from_server[0];
    client_out_ = std::make_unique<PipeEnd>(to_server[1], std::ios::out);
    client_ = std::make_unique<lsp::Transport>(client_in_->in, client_out_->out);
    server_ = std::make_unique<lsp::Transport>(server_in_->in, server_out_->out);
    status_ = std::async(std::launch::async, [this, options] {
      const int status = lsp::Server(*server_, options).run();
      // Both ends close, as a process's would: what the client still sends fails at once
      // rather than filling a pipe no one reads, and the client sees the end.
      server_in_.reset();
      server_out_.reset();
      return status;
    });
  }
  ~Session() {
    close_input();
    if (status_.valid()) status_.wait();
  }

  void send(const json& m) { client_->send(m); }
  void raw(const std::string& bytes) { client_out_->out << bytes << std::flush; }
  // The next message; null at the end, or when none comes within a generous bound: a server
  // that stops answering fails the test once, not at the run's timeout, and is not waited for
  // again.
  json next() {
    if (stalled_) return json();
    if (client_in_->buf.in_avail() <= 0) {
      pollfd ready{client_fd_, POLLIN, 0};
      if (::poll(&ready, 1, kReplyWaitMs) == 0) {
        stalled_ = true;
        ADD_FAILURE() << "no message from the server within " << kReplyWaitMs << " ms";
        return json();
      }
    }
    return client_->read().value_or(json());
  }
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
    send(lsp::notification(
        "textDocument/didOpen",
        {{"textDocument", {{"uri", kUri}, {"version", version}, {"text", text}}}}));
  }
  void change(json changes, int version) {
    send(lsp::notification(
        "textDocument/didChange",
        {{"textDocument", {{"uri", kUri}, {"version", version}}}, {"contentChanges", changes}}));
  }
  void close_input() {
    if (client_out_) client_out_.reset();
  }
  int status() {
    close_input();
    return status_.get();
  }

  static constexpr const char* kUri = "file:///work/doc.yaml";
  static constexpr int kReplyWaitMs = 10000;

 private:
  std::unique_ptr<PipeEnd> server_in_, server_out_, client_in_, client_out_;
  std::unique_ptr<lsp::Transport> client_, server_;
  std::future<int> status_;
  int client_fd_ = -1;
  bool stalled_ = false;
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

// A check that publishes the text and the mode it was given, so that a test sees what the server
// holds.
json echo(const std::string&, const std::string& text, bool discovery_only) {
  return json::array({{{"message", text}, {"code", discovery_only ? "discovery" : "migration"}}});
}

}  // namespace

TEST(LspServer, AnswersTheProtocolsErrorsAndEndsAsTheClientAsks) {
  Session s;
  EXPECT_EQ(s.call("textDocument/hover")["error"]["code"], -32002);  // before initialize
  s.open("id: x\n");  // a notification before initialize is dropped
  s.initialize();
  EXPECT_EQ(s.call("textDocument/documentSymbol",
                   {{"textDocument", {{"uri", Session::kUri}}}})["error"]["code"],
            -32602);
  // A client's response (the server asks nothing) goes unanswered; an id alone is refused.
  s.send({{"jsonrpc", "2.0"}, {"id", 70}, {"result", nullptr}});
  s.send({{"jsonrpc", "2.0"}, {"id", 71}, {"error", {{"code", -32601}, {"message", "no"}}}});
  s.send({{"jsonrpc", "2.0"}, {"id", 72}});
  const json refused = s.next();
  EXPECT_EQ(refused["id"], 72) << refused.dump();
  EXPECT_EQ(refused["error"]["code"], -32600);
  EXPECT_EQ(s.call("no/such")["error"]["code"], -32601);
  EXPECT_EQ(
      s.call("textDocument/hover", {{"textDocument", {{"uri", "file:///nope"}}}})["error"]["code"],
      -32602);
  s.raw("Content-Length: 5\r\n\r\n{nope");
  EXPECT_EQ(s.next()["error"]["code"], -32700);  // and the server reads on
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  s.raw("Content-Length: " + std::to_string(deep.size()) + "\r\n\r\n" + deep);
  EXPECT_EQ(s.next()["error"]["code"], -32700);
  EXPECT_EQ(s.call("shutdown")["result"], nullptr);
  const json after = s.call("textDocument/hover", {{"textDocument", {{"uri", "file:///nope"}}}});
  EXPECT_EQ(after["error"]["code"], -32600);  // nothing is served after shutdown
  s.send(lsp::notification("exit", nullptr));
  EXPECT_EQ(s.status(), 0);

  Session gone;  // a client that goes away without shutdown
  gone.initialize();
  EXPECT_EQ(gone.status(), 1);

  Session lost;  // a message the server cannot read past ends the session
  lost.initialize();
  lost.raw("Content-Type: text/plain\r\n\r\n{}");
  EXPECT_EQ(lost.next(), json());
  lost.raw("Content-Length: " + std::to_string(deep.size()) + "\r\n\r\n" + deep);
  EXPECT_EQ(lost.status(), 1);
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

  s.change({{{"text", "id: [\n"}}}, 3);  // a whole new text, malformed
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
    // Only a fault that names its replacement carries one.
    EXPECT_EQ(d.contains("data"), d["code"] == "value_error.extra") << d.dump();
  }
  ASSERT_TRUE(typo.is_object());
  EXPECT_EQ(typo["range"], range(0, 0, 0, 5));
  typo.erase("data");  // a client that does not send data back is answered all the same
  const json actions =
      s.call("textDocument/codeAction", {{"textDocument", {{"uri", Session::kUri}}},
                                         {"range", typo["range"]},
                                         {"context", {{"diagnostics", {typo}}}}})["result"];
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0]["edit"]["changes"][Session::kUri][0]["newText"], "label");
  EXPECT_EQ(actions[0]["isPreferred"], true);  // a key's spelling: safe

  // A fix that changes a value is offered, never preferred.
  s.change(json::array({{{"text", "lable: x\nalert: {expect_dest_cidrs: [10.0.0.1/8]}\n"}}}), 2);
  json bits;
  for (const json& d : s.diagnostics(2)) {
    if (d["code"] == "value_error.ipv4network") bits = d;
  }
  const json unsafe = s.call("textDocument/codeAction",
                             {{"textDocument", {{"uri", Session::kUri}}},
                              {"range", bits["range"]},
                              {"context", {{"diagnostics", {bits}}}}})["result"];
  ASSERT_EQ(unsafe.size(), 1u) << bits.dump();
  EXPECT_EQ(unsafe[0]["edit"]["changes"][Session::kUri][0]["newText"], "10.0.0.0/8");
  EXPECT_EQ(unsafe[0]["isPreferred"], false);
}

TEST(LspServer, IncrementalChangesApplyToTheTextAsItWas) {
  Session s({std::chrono::milliseconds(0), echo});
  s.initialize();
  s.open("a: 1\nb: 2\n");
  ASSERT_EQ(s.diagnostics(1)[0]["message"], "a: 1\nb: 2\n");
  struct Case {
    json changes;
    const char* text;  // the whole text after them
  };
  const Case cases[] = {
      {{{{"range", range(0, 3, 0, 4)}, {"text", "10"}}}, "a: 10\nb: 2\n"},
      // An end before the start deletes nothing: the text goes in at the start.
      {{{{"range", range(1, 0, 0, 1)}, {"text", "c: 3\n"}}}, "a: 10\nc: 3\nb: 2\n"},
      {{{{"range", range(0, 3, 0, 99)}, {"text", "1"}}}, "a: 1\nc: 3\nb: 2\n"},
      {{{{"range", range(9, 0, 9, 0)}, {"text", "d: 4\n"}}}, "a: 1\nc: 3\nb: 2\nd: 4\n"},
      // Each change is in the text the one before it left.
      {{{{"range", range(1, 0, 2, 0)}, {"text", ""}},
        {{"range", range(1, 0, 1, 1)}, {"text", "e"}}},
       "a: 1\ne: 2\nd: 4\n"},
      {{{{"text", "whole"}}, {{"range", range(0, 5, 0, 5)}, {"text", "!"}}}, "whole!"},
      // Invalid UTF-8 is held as sent; what goes out replaces it rather than failing.
      {{{{"text", "id: \xFF"}}}, "id: \xEF\xBF\xBD"},
  };
  int version = 1;
  for (const Case& c : cases) {
    s.change(c.changes, ++version);
    EXPECT_EQ(s.diagnostics(version)[0]["message"], c.text) << c.changes.dump();
  }
  // A change that names no version is the next one.
  s.send(lsp::notification("textDocument/didChange", {{"textDocument", {{"uri", Session::kUri}}},
                                                      {"contentChanges", {{{"text", "z"}}}}}));
  const json published = s.next();
  EXPECT_EQ(published["params"]["version"], version + 1);
  EXPECT_EQ(published["params"]["diagnostics"][0]["message"], "z");
  // A document opened without a version is at version 0.
  s.send(lsp::notification("textDocument/didOpen",
                           {{"textDocument", {{"uri", "file:///work/o.yaml"}, {"text", "o"}}}}));
  EXPECT_EQ(s.next()["params"]["version"], 0);
}

// Typing sends a change per key: the text is checked once the burst is over, on its last text,
// and nothing is published for the versions in between.
TEST(LspServer, ABurstOfChangesIsCheckedOnceOnItsLastText) {
  std::promise<void> started, release;
  const std::shared_future<void> released = release.get_future().share();
  std::mutex m;
  std::vector<std::string> checked;
  auto held = [&](const std::string& uri, const std::string& text, bool discovery_only) {
    {
      const std::lock_guard<std::mutex> lock(m);
      checked.push_back(text);
    }
    if (text == "v1") {
      started.set_value();
      released.wait();  // the burst comes while the first version is being checked
    }
    return echo(uri, text, discovery_only);
  };
  Session s({std::chrono::milliseconds(0), held});
  s.initialize();
  s.open("v1");
  started.get_future().wait();
  for (int v = 2; v <= 5; ++v) s.change({{{"text", "v" + std::to_string(v)}}}, v);
  s.call("textDocument/documentSymbol", {{"textDocument", {{"uri", Session::kUri}}}});  // all read
  release.set_value();
  json m5;
  std::vector<int> versions;
  while (versions.empty() || versions.back() != 5) {
    m5 = s.next();
    ASSERT_FALSE(m5.is_null());
    if (m5.value("method", "") == "textDocument/publishDiagnostics") {
      versions.push_back(m5["params"]["version"]);
    }
  }
  EXPECT_EQ(versions, std::vector<int>{5});
  EXPECT_EQ(m5["params"]["diagnostics"][0]["message"], "v5");
  const std::lock_guard<std::mutex> lock(m);
  EXPECT_EQ(checked, (std::vector<std::string>{"v1", "v5"}));
}

// Until the quiet time has passed nothing is checked: an hour's quiet sees no check while the
// test gives the worker a generous moment (a wait that can only make a broken server pass).
TEST(LspServer, NothingIsCheckedBeforeTheQuietTime) {
  std::mutex m;
  std::condition_variable checked;
  int checks = 0;
  Session s({std::chrono::hours(1), [&](const std::string& uri, const std::string& text, bool d) {
               const std::lock_guard<std::mutex> lock(m);
               ++checks;
               checked.notify_all();
               return echo(uri, text, d);
             }});
  s.initialize();
  s.open("v1");
  s.change({{{"text", "v2"}}}, 2);
  s.call("textDocument/documentSymbol", {{"textDocument", {{"uri", Session::kUri}}}});
  std::unique_lock<std::mutex> lock(m);
  EXPECT_FALSE(checked.wait_for(lock, std::chrono::milliseconds(300), [&] { return checks > 0; }));
}

// One diagnostic each: where, how severe, and where its related information points. The ends of
// nodes are read only for a text with something to mark, so a duplicate key in a text that is
// otherwise valid is the case that must still mark its key, not the rest of the line.
TEST(LspDiagnostics, RangesSeveritiesAndRelatedPlaces) {
  std::string duplicate = example("full.yaml");
  const std::string first = "  expect_vpc_prefixes: [10.0.0.0/8]\n";
  duplicate.insert(duplicate.find(first) + first.size(),
                   "  expect_vpc_prefixes: [10.1.0.0/16]  # again\n");
  const auto full_with = [](std::string_view from, std::string_view to) {
    std::string text = example("full.yaml");
    return text.replace(text.find(from), from.size(), to);
  };
  struct Case {
    std::string text;
    const char* code;
    int severity;
    json range, related;  // related: null when none
    const char* related_message = "first written here";
  };
  const Case cases[] = {
      {duplicate, "value_error.duplicate_key", 2, range(84, 2, 84, 21), range(83, 2, 83, 21)},
      // Lint: at the later vpc_id's value, the first one's key related; at the list item.
      {full_with("vpc-0a11b22c33d44e502", "vpc-0a11b22c33d44e501"), "duplicate-vpc-id", 2,
       range(49, 20, 49, 41), range(38, 12, 38, 18), "first listed here"},
      {full_with("[10.30.0.0/16]", "[10.30.0.1]"), "bare-address", 2, range(61, 27, 61, 36),
       nullptr},
      // An ignore comment's id that names no rule: the id itself.
      {"# tarnwick-config: ignore bare-adress\n" + example("full.yaml"), "unknown-lint-rule", 2,
       range(0, 26, 0, 37), nullptr},
      {"id: x\nlabel: \"open\n", "document_error.malformed_yaml", 1, range(1, 7, 1, 12), nullptr},
      {"id: b: c\n", "document_error.malformed_yaml", 1, range(0, 5, 0, 8), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    const json found = lsp::diagnostics(Session::kUri, c.text, false);
    ASSERT_EQ(codes(found), std::vector<std::string>{c.code});
    EXPECT_EQ(found[0]["severity"], c.severity);
    EXPECT_EQ(found[0]["range"], c.range);
    if (c.related.is_null()) {
      EXPECT_FALSE(found[0].contains("relatedInformation"));
      continue;
    }
    const json& related = found[0]["relatedInformation"];
    ASSERT_EQ(related.size(), 1u);
    EXPECT_EQ(related[0]["location"], json({{"uri", Session::kUri}, {"range", c.related}}));
    EXPECT_EQ(related[0]["message"], c.related_message);
  }
}

// Other YAML in the workspace (a CI workflow, a list, a malformed file of another kind) gets no
// diagnostic; a migration document's own faults still do, even when it does not parse.
TEST(LspDiagnostics, QuietOnOtherYaml) {
  const struct {
    const char* text;
    std::size_t count;
  } cases[] = {
      {"on: push\njobs:\n  build: {runs-on: ubuntu-latest}\n", 0},
      {"- a\n- b\n", 0},
      {"a: b: c\n", 0},
      {"xid: [\n", 0},       // a section's name inside another word
      {"a:\n  id: [\n", 0},  // or indented under another key
      {"", 0},
      {"# only a comment\n", 0},
      {"on: push\nterraform: {}\n", 7},  // a section: the whole check, the stray key included
      {"account_info: [\n", 1},
      {"account_infos: [\n", 0},  // a longer key that starts with a section's name
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lsp::diagnostics(Session::kUri, c.text, false).size(), c.count) << c.text;
  }
}

// A rule across sections is shown where each VPC it names breaks it, besides at `config`; a
// section that failed its own checks leaves a note that those rules did not see it.
TEST(LspDiagnostics, EachVpcARuleNamesIsMarked) {
  const std::string head =
      "terraform: {terraform_output: /o, terraform_version: '1', corvane_provider: '2',\n"
      "            aws_provider: '3'}\n"
      "corvane: {controller_ip: 10.0.0.1, controller_account: '111'}\n"
      "account_info:\n"
      "  - account_id: '123'\n"
      "    regions:\n"
      "      - region: us-east-1\n"
      "        vpcs:\n";
  const std::string tail =
      "config: {configure_gw_name: false}\ntgw: {tgw_account: a, tgw_role: r}\n";
  const json found = lsp::diagnostics(
      Session::kUri,
      head + "          - {vpc_id: vpc-1, crvn_cidr: 10.1.0.0/24, eips: [1.1.1.1]}\n" +
          "          - {vpc_id: vpc-2, crvn_cidr: 10.2.0.0/24, eips: [1.1.1.1, 2.2.2.2]}\n" +
          "          - {vpc_id: vpc-3, crvn_cidr: 10.3.0.0/24, eips: []}\n" + tail,
      false);
  ASSERT_EQ(found.size(), 3u) << found.dump();
  EXPECT_EQ(found[0]["range"], range(11, 8, 11, 34));  // config
  EXPECT_EQ(found[0]["relatedInformation"].size(), 2u);
  const struct {
    json range;
    const char* message;
  } vpcs[] = {{range(8, 52, 8, 56),
               "vpc vpc-1: HA mode needs 2 eips; it has 1 (check_config.eips_fit_ha_mode)"},
              {range(10, 52, 10, 56),
               "vpc vpc-3: HA mode needs 2 eips; it has 0 (check_config.eips_fit_ha_mode)"}};
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(found[i + 1]["range"], vpcs[i].range);
    EXPECT_EQ(found[i + 1]["message"], vpcs[i].message);
    EXPECT_EQ(found[i + 1]["severity"], 1);
    EXPECT_EQ(found[i + 1]["code"], "check_config.eips_fit_ha_mode");
  }

  // Many VPCs: each is marked, the message and its related places stop at ten.
  std::string many = head;
  for (int i = 0; i < 12; ++i) {
    many += "          - {vpc_id: v" + std::to_string(i) + ", crvn_cidr: 10.1.0.0/24, eips: []}\n";
  }
  const json all = lsp::diagnostics(Session::kUri, many + tail, false);
  ASSERT_EQ(all.size(), 13u);
  EXPECT_EQ(all[0]["relatedInformation"].size(), 10u);
  EXPECT_TRUE(all[0]["message"].get<std::string>().ends_with("v9 and 2 more")) << all[0]["message"];

  const json noted = lsp::diagnostics(
      Session::kUri, head + "          - {vpc_id: vpc-1, crvn_cidr: nonsense}\n" + tail, false);
  ASSERT_EQ(noted.size(), 2u) << noted.dump();
  EXPECT_EQ(noted[1]["severity"], 3);
  EXPECT_EQ(noted[1]["code"], "note.checks_skipped");
  EXPECT_EQ(noted[1]["range"], range(9, 0, 9, 6));
}

// The first line may name the mode; anything else leaves it to the setting.
TEST(LspDiagnostics, ModeComments) {
  struct Case {
    const char* text;
    std::optional<bool> mode;
  };
  const Case cases[] = {
      {"# tarnwick-config: discovery-only\nid: x\n", true},
      {"\xEF\xBB\xBF# tarnwick-config: discovery-only\nid: x\n", true},  // after a byte-order mark
      {"  #tarnwick-config:   migration  \r\nid: x\n", false},
      {"# tarnwick-config: migration", false},
      {"# tarnwick-config: other\n", std::nullopt},
      {"id: x\n# tarnwick-config: discovery-only\n", std::nullopt},
      {"# tarnwick-config discovery-only\n", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(lsp::mode_comment(c.text), c.mode) << c.text;
}

// The workspace setting applies to every document without a mode comment, and a change of it
// checks them again.
TEST(LspServer, TheSettingDecidesTheModeWhereNoCommentDoes) {
  Session s({std::chrono::milliseconds(0), echo});
  s.initialize({{"discoveryOnly", true}});
  s.open("id: x\n");
  EXPECT_EQ(s.diagnostics(1)[0]["code"], "discovery");
  s.send(lsp::notification("workspace/didChangeConfiguration",
                           {{"settings", {{"tarnwick", {{"discoveryOnly", false}}}}}}));
  EXPECT_EQ(s.diagnostics(1)[0]["code"], "migration");
  s.change({{{"text", "# tarnwick-config: discovery-only\nid: x\n"}}}, 2);
  EXPECT_EQ(s.diagnostics(2)[0]["code"], "discovery");
  // The same setting again changes nothing and checks nothing: what is published next is the
  // document opened after it.
  s.send(lsp::notification("workspace/didChangeConfiguration",
                           {{"settings", {{"tarnwick", {{"discoveryOnly", false}}}}}}));
  const std::string other = "file:///work/other.yaml";
  s.send(lsp::notification("textDocument/didOpen",
                           {{"textDocument", {{"uri", other}, {"version", 1}, {"text", "x"}}}}));
  const json next = s.next();
  EXPECT_EQ(next["params"]["uri"], other) << next.dump();
}

// A client that offers workspace/configuration (and pushes no settings) is asked for the
// `tarnwick` section after initialized and after each change notice; only the answer to the last
// question counts, and a client that does not offer it is never asked.
TEST(LspServer, TheSettingIsPulledWhenTheClientOffersIt) {
  Session s({std::chrono::milliseconds(0), echo});
  ASSERT_TRUE(s.call("initialize", {{"capabilities", {{"workspace", {{"configuration", true}}}}}})
                  .contains("result"));
  s.send(lsp::notification("initialized", json::object()));
  const json asked = s.next();
  ASSERT_EQ(asked.value("method", ""), "workspace/configuration") << asked.dump();
  EXPECT_EQ(asked["params"]["items"], json::parse(R"([{"section": "tarnwick"}])"));
  s.open("id: x\n");
  EXPECT_EQ(s.diagnostics(1)[0]["code"], "migration");
  s.send({{"jsonrpc", "2.0"}, {"id", asked["id"]}, {"result", {{{"discoveryOnly", true}}}}});
  EXPECT_EQ(s.diagnostics(1)[0]["code"], "discovery");  // checked again in the new mode

  s.send(lsp::notification("workspace/didChangeConfiguration", {{"settings", nullptr}}));
  const json again = s.next();
  ASSERT_EQ(again.value("method", ""), "workspace/configuration") << again.dump();
  EXPECT_NE(again["id"], asked["id"]);
  // A late answer to the first question changes nothing (the next version is still checked in
  // the mode it had); the answer to the last one does.
  s.send({{"jsonrpc", "2.0"}, {"id", asked["id"]}, {"result", {{{"discoveryOnly", false}}}}});
  s.change({{{"text", "id: y\n"}}}, 2);
  EXPECT_EQ(s.diagnostics(2)[0]["code"], "discovery");
  s.send({{"jsonrpc", "2.0"}, {"id", again["id"]}, {"result", {{{"discoveryOnly", false}}}}});
  EXPECT_EQ(s.diagnostics(2)[0]["code"], "migration");
  // An answer with no item leaves the mode as it was.
  s.send(lsp::notification("workspace/didChangeConfiguration", {{"settings", nullptr}}));
  const json third = s.next();
  s.send({{"jsonrpc", "2.0"}, {"id", third["id"]}, {"result", json::array()}});
  s.change({{{"text", "id: z\n"}}}, 3);
  EXPECT_EQ(s.diagnostics(3)[0]["code"], "migration");
  // After shutdown a change notice asks nothing: the shutdown's answer is the last message.
  EXPECT_EQ(s.call("shutdown")["result"], nullptr);
  s.send(lsp::notification("workspace/didChangeConfiguration", {{"settings", nullptr}}));
  s.send(lsp::notification("exit", nullptr));
  EXPECT_EQ(s.next(), json()) << "a message after shutdown";

  Session plain({std::chrono::milliseconds(0), echo});
  plain.initialize({{"discoveryOnly", "yes"}});  // not a boolean: the mode stays as it was
  plain.send(lsp::notification("initialized", json::object()));
  plain.open("id: x\n");
  const json first = plain.next();
  EXPECT_EQ(first.value("method", ""), "textDocument/publishDiagnostics");
  EXPECT_EQ(first["params"]["diagnostics"][0]["code"], "migration");

  // A client that says it does not answer the question is not asked.
  Session refused({std::chrono::milliseconds(0), echo});
  ASSERT_TRUE(
      refused.call("initialize", {{"capabilities", {{"workspace", {{"configuration", false}}}}}})
          .contains("result"));
  refused.send(lsp::notification("initialized", json::object()));
  refused.open("id: x\n");
  EXPECT_EQ(refused.next().value("method", ""), "textDocument/publishDiagnostics");
}

// A document closed while its check runs gets no diagnostics from that check: the empty ones
// the close sends are the last.
TEST(LspServer, ACheckRunningAtTheCloseIsNotPublished) {
  std::promise<void> started, release;
  const std::shared_future<void> released = release.get_future().share();
  auto held = [&](const std::string& uri, const std::string& text, bool discovery_only) {
    if (text == "held") {
      started.set_value();
      released.wait();
    }
    return echo(uri, text, discovery_only);
  };
  Session s({std::chrono::milliseconds(0), held});
  s.initialize();
  s.open("held");
  started.get_future().wait();
  s.send(lsp::notification("textDocument/didClose", {{"textDocument", {{"uri", Session::kUri}}}}));
  json closed = s.next();  // sent as the close is read
  EXPECT_EQ(closed["params"]["diagnostics"], json::array());
  release.set_value();
  const std::string other = "file:///work/other.yaml";
  s.send(lsp::notification("textDocument/didOpen",
                           {{"textDocument", {{"uri", other}, {"version", 1}, {"text", "x"}}}}));
  // The worker checks one text at a time: whatever the held check publishes comes first.
  json next = s.next();
  EXPECT_EQ(next["params"]["uri"], other) << next.dump();
}
