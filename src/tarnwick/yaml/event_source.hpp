// libyaml's events, copied out of the parser in batches. A large input is parsed ahead on a
// second thread while the reader builds from the batches already made: parsing is half of a
// load, and the two halves then overlap. The events, their order and every fault are the same
// either way; only when the parser runs differs.
#pragma once

#include <yaml.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "libyaml_handles.hpp"

namespace tarnwick::yaml::detail {

// One event. Its texts are views into the batch that holds it: valid until the next batch.
struct ParsedEvent {
  yaml_event_type_t type;
  Mark mark;
  yaml_scalar_style_t style = YAML_ANY_SCALAR_STYLE;  // a scalar's
  std::size_t length = 0;  // a scalar's length, also when it is too long to be copied
  std::string_view value;  // a scalar's text
  std::optional<std::string_view> tag;
  std::optional<std::string_view> anchor;  // an alias's name, or the node's anchor
};

// What libyaml said when it stopped, copied from the parser.
struct ParserFault {
  yaml_error_type_t error = YAML_NO_ERROR;
  std::string problem;  // empty when libyaml gave none
  std::size_t problem_offset = 0;
  int problem_value = -1;
  Mark problem_mark;
  std::optional<std::string> context;
  Mark context_mark;
};

struct EventBatch {
  struct Span {
    std::size_t at, size;
  };
  std::vector<ParsedEvent> events;
  std::string text;  // the events' texts, one after another
  // Each event's value, tag and anchor in `text`: the views are made where the batch is read,
  // since moving a short string moves its characters.
  std::vector<std::optional<Span>> spans;
  std::optional<ParserFault> fault;  // after the last event: the parser stopped here
  std::exception_ptr failure;        // the parsing thread could not go on (memory)
  bool last = false;                 // nothing follows
};

class EventSource {
 public:
  // `ahead`: parse on a second thread. `max_scalar_bytes`: longer scalars are not copied (the
  // reader refuses them by their length).
  EventSource(Parser& parser, bool ahead, std::size_t max_scalar_bytes);
  ~EventSource();  // stops the parsing thread, wherever it is
  EventSource(const EventSource&) = delete;
  EventSource& operator=(const EventSource&) = delete;

  // The next batch; after one marked `last`, none.
  const EventBatch& next();

 private:
  void fill(EventBatch& batch);
  static void bind(EventBatch& batch);
  void run_ahead();

  Parser& parser_;
  const std::size_t max_scalar_bytes_;
  EventBatch current_;
  // With a thread: batches made and not yet read, and spent ones to fill again.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<EventBatch> ready_;
  std::vector<EventBatch> spare_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace tarnwick::yaml::detail
