#include "event_source.hpp"

#include <utility>

namespace tarnwick::yaml::detail {
namespace {

// Events per batch, and batches made ahead of the reader: enough that the threads rarely wait
// on each other, few enough that the batches stay in the cache.
constexpr std::size_t kBatchEvents = 512;
constexpr std::size_t kBatchesAhead = 4;

std::optional<std::string_view> text_of(const yaml_char_t* s) {
  if (s == nullptr) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(s));
}

ParserFault fault_of(const yaml_parser_t& p) {
  ParserFault f;
  f.error = p.error;
  if (p.problem != nullptr) f.problem = p.problem;
  f.problem_offset = p.problem_offset;
  f.problem_value = p.problem_value;
  f.problem_mark = mark_of(p.problem_mark);
  if (p.context != nullptr) f.context = p.context;
  f.context_mark = mark_of(p.context_mark);
  return f;
}

}  // namespace

ParsedEvent::ParsedEvent(const yaml_event_t& e) : type(e.type), mark(mark_of(e.start_mark)) {
  switch (e.type) {
    case YAML_SCALAR_EVENT:
      style = e.data.scalar.style;
      value = {reinterpret_cast<const char*>(e.data.scalar.value), e.data.scalar.length};
      tag = text_of(e.data.scalar.tag);
      anchor = text_of(e.data.scalar.anchor);
      break;
    case YAML_ALIAS_EVENT:
      anchor = text_of(e.data.alias.anchor);
      break;
    case YAML_SEQUENCE_START_EVENT:
      tag = text_of(e.data.sequence_start.tag);
      anchor = text_of(e.data.sequence_start.anchor);
      break;
    case YAML_MAPPING_START_EVENT:
      tag = text_of(e.data.mapping_start.tag);
      anchor = text_of(e.data.mapping_start.anchor);
      break;
    default:
      break;
  }
}

EventBatch& EventBatch::operator=(EventBatch&& other) noexcept {
  spend();
  events = std::move(other.events);
  fault = std::move(other.fault);
  failure = std::move(other.failure);
  last = other.last;
  return *this;
}

void EventBatch::spend() {
  for (yaml_event_t& e : events) yaml_event_delete(&e);
  events.clear();
  fault.reset();
  failure = nullptr;
  last = false;
}

EventSource::EventSource(Parser& parser, bool ahead) : parser_(parser) {
  if (ahead) thread_ = std::thread([this] { run_ahead(); });
}

EventSource::~EventSource() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

// Takes events from the parser until the batch is full or the parser has stopped.
void EventSource::fill(EventBatch& batch) {
  batch.spend();
  batch.events.reserve(kBatchEvents);
  while (batch.events.size() < kBatchEvents && !batch.last) {
    yaml_event_t e;
    if (!yaml_parser_parse(parser_.get(), &e)) {  // nothing to free: libyaml cleared the event
      batch.fault = fault_of(*parser_.get());
      batch.last = true;
      break;
    }
    batch.events.push_back(e);
    batch.last = e.type == YAML_STREAM_END_EVENT;
  }
}

void EventSource::run_ahead() {
  for (bool last = false; !last;) {
    EventBatch batch;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || ready_.size() < kBatchesAhead; });
      if (stop_) return;
      if (!spare_.empty()) {
        batch = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    try {
      fill(batch);
    } catch (...) {
      batch.failure = std::current_exception();
      batch.last = true;
    }
    last = batch.last;
    {
      const std::lock_guard lock(mutex_);
      ready_.push_back(std::move(batch));
    }
    changed_.notify_all();
  }
}

const EventBatch& EventSource::next() {
  if (!thread_.joinable()) {
    fill(current_);
    return current_;
  }
  // Spent on the parsing thread, which made the events: memory freed by another thread than
  // the one that took it makes the allocator work much harder on both.
  std::unique_lock lock(mutex_);
  spare_.push_back(std::move(current_));
  changed_.wait(lock, [&] { return !ready_.empty(); });
  current_ = std::move(ready_.front());
  ready_.pop_front();
  lock.unlock();
  changed_.notify_all();
  if (current_.failure) std::rethrow_exception(current_.failure);
  return current_;
}

}  // namespace tarnwick::yaml::detail
