#include "event_source.hpp"

#include <utility>

namespace tarnwick::yaml::detail {
namespace {

// Events per batch, and batches made ahead of the reader: enough that the threads rarely wait
// on each other, few enough that the batches stay in the cache.
constexpr std::size_t kBatchEvents = 2048;
constexpr std::size_t kBatchesAhead = 4;

using Span = EventBatch::Span;

Span keep(std::string& text, const yaml_char_t* s, std::size_t size) {
  const std::size_t at = text.size();
  text.append(reinterpret_cast<const char*>(s), size);
  return {at, size};
}

std::optional<Span> keep(std::string& text, const yaml_char_t* s) {
  if (s == nullptr) return std::nullopt;
  return keep(text, s, std::char_traits<char>::length(reinterpret_cast<const char*>(s)));
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

// Copies events out of the parser until the batch is full or the parser has stopped.
void EventSource::fill(EventBatch& batch) {
  batch.events.clear();
  batch.text.clear();
  batch.spans.clear();
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
    ParsedEvent& out = batch.events.emplace_back();
    out.type = e.type;
    out.mark = mark_of(e.start_mark);
    std::optional<Span> value;
    std::optional<Span> tag;
    std::optional<Span> anchor;
    switch (e.type) {
      case YAML_SCALAR_EVENT:
        out.style = e.data.scalar.style;
        out.length = e.data.scalar.length;
        if (out.length <= max_scalar_bytes_) {
          value = keep(batch.text, e.data.scalar.value, e.data.scalar.length);
        }
        tag = keep(batch.text, e.data.scalar.tag);
        anchor = keep(batch.text, e.data.scalar.anchor);
        break;
      case YAML_ALIAS_EVENT:
        anchor = keep(batch.text, e.data.alias.anchor);
        break;
      case YAML_SEQUENCE_START_EVENT:
        tag = keep(batch.text, e.data.sequence_start.tag);
        anchor = keep(batch.text, e.data.sequence_start.anchor);
        break;
      case YAML_MAPPING_START_EVENT:
        tag = keep(batch.text, e.data.mapping_start.tag);
        anchor = keep(batch.text, e.data.mapping_start.anchor);
        break;
      case YAML_STREAM_END_EVENT:
        batch.last = true;
        break;
      default:
        break;
    }
    batch.spans.insert(batch.spans.end(), {value, tag, anchor});
  }
}

void EventSource::bind(EventBatch& batch) {
  const std::string_view text = batch.text;
  auto view = [&](const std::optional<Span>& s) { return text.substr(s->at, s->size); };
  for (std::size_t i = 0; i < batch.events.size(); ++i) {
    ParsedEvent& e = batch.events[i];
    if (const auto& s = batch.spans[3 * i]) e.value = view(s);
    if (const auto& s = batch.spans[3 * i + 1]) e.tag = view(s);
    if (const auto& s = batch.spans[3 * i + 2]) e.anchor = view(s);
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
    bind(current_);
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
  bind(current_);
  return current_;
}

}  // namespace tarnwick::yaml::detail
