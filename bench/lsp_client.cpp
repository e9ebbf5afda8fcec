#include "lsp_client.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <thread>
#include <utility>

namespace tarnwick::bench {

namespace {

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error("language server: " + what);
}

int ms_until(LspClient::Clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - LspClient::Clock::now());
  return static_cast<int>(std::max<long long>(0, left.count()));
}

}  // namespace

LspClient::LspClient(const std::string& program) {
  // A server that dies while we write must fail the run with EPIPE, not kill it.
  ::signal(SIGPIPE, SIG_IGN);
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) fail("pipe failed");
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    fail("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  // Its logs would interleave with the figures.
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string arg0 = program, arg1 = "lsp";
  char* argv[] = {arg0.data(), arg1.data(), nullptr};
  int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  to_server_ = in[1];
  from_server_ = out[0];
  if (rc != 0) {
    pid_ = -1;
    fail("cannot start " + program);
  }
}

LspClient::~LspClient() {
  if (to_server_ >= 0) ::close(to_server_);
  if (from_server_ >= 0) ::close(from_server_);
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

void LspClient::notify(const std::string& method, Json params) {
  send({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
}

LspClient::Json LspClient::request(const std::string& method, Json params,
                                   std::chrono::milliseconds wait) {
  const long id = next_id_++;
  send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
  const auto deadline = Clock::now() + wait;
  for (;;) {
    Json m = receive(deadline);
    if (answer_if_request(m) || !m.contains("id") || m["id"] != id) continue;
    if (m.contains("error")) fail(method + " refused: " + m["error"].dump());
    return m.value("result", Json());
  }
}

LspClient::Json LspClient::diagnostics(const std::string& uri, long version,
                                       std::chrono::milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  for (;;) {
    Json m = receive(deadline);
    if (answer_if_request(m) || m.value("method", "") != "textDocument/publishDiagnostics") {
      continue;
    }
    const Json& p = m["params"];
    if (p.value("uri", "") == uri && p.value("version", -1L) == version) return p["diagnostics"];
  }
}

int LspClient::finish(std::chrono::milliseconds wait) {
  request("shutdown", nullptr, wait);
  notify("exit", nullptr);
  ::close(to_server_);
  to_server_ = -1;
  return reap(Clock::now() + wait);
}

// Requests from the server (configuration, registrations) are answered as an editor that has
// nothing to say: null, or a null per configuration item.
bool LspClient::answer_if_request(const Json& m) {
  if (!m.contains("method") || !m.contains("id")) return false;
  Json result = nullptr;
  if (m["method"] == "workspace/configuration") {
    result = Json::array();
    for (std::size_t i = 0; i < m["params"]["items"].size(); ++i) result.push_back(nullptr);
  }
  send({{"jsonrpc", "2.0"}, {"id", m["id"]}, {"result", result}});
  return true;
}

// Writes the frame while reading whatever the server sends meanwhile, so that neither side can
// block the other on a full pipe (a large didOpen against a chatty server).
void LspClient::send(const Json& message) {
  const std::string body = message.dump();
  const std::string frame = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  std::size_t done = 0;
  while (done < frame.size()) {
    pollfd fds[2] = {{to_server_, POLLOUT, 0}, {from_server_, POLLIN, 0}};
    if (::poll(fds, 2, ms_until(deadline)) == 0) fail("stopped reading its input");
    if (fds[1].revents != 0) read_some(0);
    if ((fds[0].revents & (POLLERR | POLLHUP)) != 0) fail("closed its input");
    if ((fds[0].revents & POLLOUT) == 0) continue;
    ssize_t n = ::write(to_server_, frame.data() + done, frame.size() - done);
    if (n < 0 && errno != EINTR && errno != EAGAIN) fail("closed its input");
    if (n > 0) done += static_cast<std::size_t>(n);
  }
}

LspClient::Json LspClient::receive(Clock::time_point deadline) {
  for (;;) {
    const auto head_end = received_.find("\r\n\r\n");
    if (head_end != std::string::npos) {
      const auto at = received_.find("Content-Length:");
      if (at == std::string::npos || at > head_end) fail("sent a frame without Content-Length");
      const std::size_t length = std::stoul(received_.substr(at + 15, head_end - at - 15));
      const std::size_t start = head_end + 4;
      if (received_.size() >= start + length) {
        Json m = Json::parse(received_.begin() + static_cast<long>(start),
                             received_.begin() + static_cast<long>(start + length));
        received_.erase(0, start + length);
        return m;
      }
    }
    if (Clock::now() >= deadline) fail("no answer in time");
    read_some(ms_until(deadline));
  }
}

void LspClient::read_some(int timeout_ms) {
  pollfd fd{from_server_, POLLIN, 0};
  if (::poll(&fd, 1, timeout_ms) <= 0) return;
  char buf[65536];
  ssize_t n = ::read(from_server_, buf, sizeof buf);
  if (n == 0) fail("closed its output");
  if (n < 0 && errno != EINTR && errno != EAGAIN) fail("read failed");
  if (n > 0) received_.append(buf, static_cast<std::size_t>(n));
}

int LspClient::reap(Clock::time_point deadline) {
  int status = 0;
  for (;;) {
    pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) break;
    if (r < 0 && errno != EINTR) fail("waitpid failed");
    if (Clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace tarnwick::bench
