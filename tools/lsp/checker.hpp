// Runs the check of changed documents on a worker thread: a change waits for a quiet moment
// (typing goes on), and a result for a version that has since changed is dropped, so a large
// document never holds up the editor and never shows faults of text it no longer has.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

namespace tarnwick::lsp {

class Checker {
 public:
  using Clock = std::chrono::steady_clock;
  // Called on the worker thread with the diagnostics of the document's latest version.
  using Publish =
      std::function<void(const std::string& uri, std::int64_t version, nlohmann::json diagnostics)>;
  // Computes the diagnostics of one text (a parameter so that tests can hold the worker up).
  using Check =
      std::function<nlohmann::json(const std::string& uri, const std::string& text, bool discovery_only)>;

  Checker(Publish publish, Check check, Clock::duration quiet);
  ~Checker();  // drops what is pending and joins the worker
  Checker(const Checker&) = delete;
  Checker& operator=(const Checker&) = delete;

  // Checks this version once no newer one has come for the quiet time.
  void schedule(const std::string& uri, std::int64_t version, std::string text,
                bool discovery_only);
  // The document was closed: nothing more is published for it.
  void forget(const std::string& uri);

 private:
  struct Job {
    std::int64_t version = 0;
    std::string text;
    bool discovery_only = false;
    Clock::time_point due;
  };

  void work();

  Publish publish_;
  Check check_;
  Clock::duration quiet_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::map<std::string, Job> pending_;
  std::map<std::string, std::int64_t> latest_;  // the latest version of each open document
  bool stop_ = false;
  std::thread worker_;  // last: starts once the members above exist
};

}  // namespace tarnwick::lsp
