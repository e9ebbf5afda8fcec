#include "lsp/checker.hpp"

#include <utility>

namespace tarnwick::lsp {

Checker::Checker(Publish publish, Check check, Clock::duration quiet)
    : publish_(std::move(publish)),
      check_(std::move(check)),
      quiet_(quiet),
      worker_([this] { work(); }) {}

Checker::~Checker() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    pending_.clear();
  }
  wake_.notify_all();
  worker_.join();
}

void Checker::schedule(const std::string& uri, std::int64_t version, std::string text,
                       bool discovery_only) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    latest_[uri] = version;
    pending_[uri] = Job{version, std::move(text), discovery_only, Clock::now() + quiet_};
  }
  wake_.notify_all();
}

void Checker::forget(const std::string& uri) {
  const std::lock_guard<std::mutex> lock(mutex_);
  pending_.erase(uri);
  latest_.erase(uri);
}

void Checker::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    if (pending_.empty()) {
      wake_.wait(lock);
      continue;
    }
    auto next = pending_.begin();
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
      if (it->second.due < next->second.due) next = it;
    }
    // A copy: the wait reads the time again after it wakes, when a close or the destructor may
    // have erased the job.
    const Clock::time_point due = next->second.due;
    if (Clock::now() < due) {
      wake_.wait_until(lock, due);
      continue;  // a newer change may have moved it, or another may be due first
    }
    const std::string uri = next->first;
    Job job = std::move(next->second);
    pending_.erase(next);
    lock.unlock();
    nlohmann::json found = check_(uri, job.text, job.discovery_only);
    lock.lock();
    const auto latest = latest_.find(uri);
    // Published under the lock: a close or a newer change cannot slip in between the test and
    // the message.
    if (!stop_ && latest != latest_.end() && latest->second == job.version) {
      publish_(uri, job.version, std::move(found));
    }
  }
}

}  // namespace tarnwick::lsp
