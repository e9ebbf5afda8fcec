// The checker's worker thread: which job it takes first, and which results it publishes.
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "lsp/checker.hpp"

namespace lsp = tarnwick::lsp;
using nlohmann::json;

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

// The worker takes the job due first: a document edited again and again does not hold back the
// check of one that went quiet before it.
TEST(LspChecker, TheJobDueFirstIsCheckedFirst) {
  std::mutex m;
  std::vector<std::string> published;
  {
    lsp::Checker checker(
        [&](const std::string& uri, std::int64_t, json) {
          const std::lock_guard<std::mutex> lock(m);
          published.push_back(uri);
        },
        [](const std::string&, const std::string&, bool) { return json::array(); },
        std::chrono::milliseconds(200));
    checker.schedule("b", 1, "b", false);  // "b" sorts after "a": the map's order is no help
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    checker.schedule("a", 1, "a", false);
    for (int i = 0; i < 500; ++i) {
      {
        const std::lock_guard<std::mutex> lock(m);
        if (published.size() == 2) break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  EXPECT_EQ(published, (std::vector<std::string>{"b", "a"}));
}
