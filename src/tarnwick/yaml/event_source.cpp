#include "event_source.hpp"

#include <utility>

namespace tarnwick::yaml::detail {
namespace {

// Events per batch, and batches made ahead of the reader: enough that the threads rarely wait
// on each other, few enough that the batches stay in the cache. Each hand-over can wake a
// sleeping thread: at 512 events a batch, the large benchmark document made 9,000 context
// switches and took a third longer than at 4,096 (470 switches).
constexpr std::size_t kBatchEvents = 4096;
constexpr std::size_t kBatchesAhead = 4;

// A text of an event, NUL-terminated as libyaml gives it; absent: nothing added.
bool keep(std::string& text, const yaml_char_t* s, std::size_t& size) {
  if (s == nullptr) return false;
  size = std::char_traits<char>::length(reinterpret_cast<const char*>(s));
  text.append(reinterpret_cast<const char*>(s), size);
  return true;
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

ParsedEvent EventBatch::operator[](std::size_t i) const {
  const Packed& p = events[i];
  ParsedEvent e{};
  e.type = static_cast<yaml_event_type_t>(p.type);
  e.mark = p.mark;
  e.style = static_cast<yaml_scalar_style_t>(p.style);
  e.length = p.length;
  const std::string_view all = text;
  std::size_t at = p.text_at;
  if (p.copied) {
    e.value = all.substr(at, p.length);
    at += p.length;
  }
  if (p.has_tag) e.tag = all.substr(at, p.tag_size);
  at += p.tag_size;
  if (p.has_anchor) e.anchor = all.substr(at, p.anchor_size);
  return e;
}

EventSource::EventSource(Parser& parser, bool ahead, std::size_t max_scalar_bytes)
    : parser_(parser), max_scalar_bytes_(max_scalar_bytes) {
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

// Copies events out of the parser until the batch is full or the parser has stopped; each is
// freed at once, while libyaml's memory for it is still in this core's cache.
void EventSource::fill(EventBatch& batch) {
  batch.events.clear();
  batch.text.clear();
  batch.fault.reset();
  batch.failure = nullptr;
  batch.last = false;
  while (batch.events.size() < kBatchEvents && !batch.last) {
    Event ev;
    if (!yaml_parser_parse(parser_.get(), &ev.event)) {
      batch.fault = fault_of(*parser_.get());
      batch.last = true;
      break;
    }
    const yaml_event_t& e = ev.event;
    EventBatch::Packed& p = batch.events.emplace_back();
    p.type = static_cast<std::uint8_t>(e.type);
    p.mark = mark_of(e.start_mark);
    p.text_at = batch.text.size();
    switch (e.type) {
      case YAML_SCALAR_EVENT:
        p.style = static_cast<std::uint8_t>(e.data.scalar.style);
        p.length = e.data.scalar.length;
        p.copied = p.length <= max_scalar_bytes_;
        if (p.copied) batch.text.append(reinterpret_cast<const char*>(e.data.scalar.value), p.length);
        p.has_tag = keep(batch.text, e.data.scalar.tag, p.tag_size);
        p.has_anchor = keep(batch.text, e.data.scalar.anchor, p.anchor_size);
        break;
      case YAML_ALIAS_EVENT:
        p.has_anchor = keep(batch.text, e.data.alias.anchor, p.anchor_size);
        break;
      case YAML_SEQUENCE_START_EVENT:
        p.has_tag = keep(batch.text, e.data.sequence_start.tag, p.tag_size);
        p.has_anchor = keep(batch.text, e.data.sequence_start.anchor, p.anchor_size);
        break;
      case YAML_MAPPING_START_EVENT:
        p.has_tag = keep(batch.text, e.data.mapping_start.tag, p.tag_size);
        p.has_anchor = keep(batch.text, e.data.mapping_start.anchor, p.anchor_size);
        break;
      case YAML_STREAM_END_EVENT:
        batch.last = true;
        break;
      default:
        break;
    }
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
