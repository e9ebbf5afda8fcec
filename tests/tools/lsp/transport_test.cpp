// The framing of messages: header lines, lengths and nesting, each at its limit.
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "lsp/rpc.hpp"

namespace lsp = tarnwick::lsp;
using nlohmann::json;

// A header line is refused at its limit, before the rest of it is read into memory.
TEST(LspTransport, AHeaderLineIsReadNoFurtherThanItsLimit) {
  std::istringstream in("Content-Length: " + std::string(1 << 20, '1') + "\r\n\r\n{}");
  std::ostringstream out;
  lsp::Transport transport(in, out);
  EXPECT_THROW(transport.read(), lsp::FramingError);
  EXPECT_LT(in.tellg(), 8192);
  // The limit itself: a line of 4096 bytes (its CR included) is read, one of 4097 is not.
  for (const std::size_t size : {std::size_t{4096}, std::size_t{4097}}) {
    std::string line = "Content-Length: 2";
    line += std::string(size - line.size() - 1, ' ') + "\r";
    std::istringstream padded(line + "\n\r\n{}");
    lsp::Transport reader(padded, out);
    if (size == 4096) {
      EXPECT_EQ(reader.read(), json::object());
    } else {
      EXPECT_THROW(reader.read(), lsp::FramingError);
    }
  }
}

// The nesting limit itself: an array nested kMaxDepth deep is read, one level more is refused.
TEST(LspTransport, NestingIsReadUpToItsLimitExactly) {
  for (const int levels : {lsp::Transport::kMaxDepth, lsp::Transport::kMaxDepth + 1}) {
    const std::string body = std::string(static_cast<std::size_t>(levels), '[') +
                             std::string(static_cast<std::size_t>(levels), ']');
    std::istringstream in("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    std::ostringstream out;
    lsp::Transport transport(in, out);
    if (levels == lsp::Transport::kMaxDepth) {
      EXPECT_TRUE(transport.read().value().is_array()) << levels;
    } else {
      EXPECT_THROW(transport.read(), lsp::FramingError) << levels;
    }
  }
}

// A length that is not all digits frames nothing safely: it ends the session. Blank lines
// before a message's headers are stray ones, not its end.
TEST(LspTransport, OnlyALengthOfDigitsIsTaken) {
  struct Case {
    const char* header;
    bool taken;
  };
  for (const Case& c : {Case{"content-LENGTH:  2 ", true}, Case{"Content-Length: 2x", false},
                        Case{"Content-Length: 2 2", false}, Case{"Content-Length: -2", false},
                        Case{"\r\n\nContent-Length: 2", true}, Case{"\tContent-Length:\t2\t", true},
                        // Another header whose name is a prefix of the length's is not it.
                        Case{"Content-Length: 2\r\nContent: 9", true}}) {
    std::istringstream in(std::string(c.header) + "\r\n\r\n{}");
    std::ostringstream out;
    lsp::Transport transport(in, out);
    if (c.taken) {
      EXPECT_EQ(transport.read(), json::object()) << c.header;
      continue;
    }
    try {
      transport.read();
      ADD_FAILURE() << c.header << " was taken";
    } catch (const lsp::FramingError& e) {
      EXPECT_FALSE(e.recoverable) << c.header;  // the rest of the stream cannot be framed
    }
  }
}

// An input that ends between messages ends the session cleanly; one that ends inside a message's
// headers is a fault, a last header line without its line end too.
TEST(LspTransport, AnInputEndsBetweenMessagesOnly) {
  struct Case {
    const char* input;
    bool clean;
  };
  for (const Case& c : {Case{"", true}, Case{"\r\n\r\n", true}, Case{"Content-Length: 2", false},
                        Case{"Content-Length: 2\r\n", false}, Case{"Content-Length: 2\r\n\r\n{", false}}) {
    std::istringstream in(c.input);
    std::ostringstream out;
    lsp::Transport transport(in, out);
    if (c.clean) {
      EXPECT_EQ(transport.read(), std::nullopt) << c.input;
      continue;
    }
    try {
      transport.read();
      ADD_FAILURE() << c.input << " was read";
    } catch (const lsp::FramingError& e) {
      EXPECT_FALSE(e.recoverable) << c.input;
    }
  }
}

// The largest length is taken (the body then runs short), one more is refused before anything
// is allocated for it.
TEST(LspTransport, ALengthIsTakenUpToItsLimitExactly) {
  for (const std::size_t length : {lsp::Transport::kMaxMessageBytes,
                                   lsp::Transport::kMaxMessageBytes + 1}) {
    std::istringstream in("Content-Length: " + std::to_string(length) + "\r\n\r\n{}");
    std::ostringstream out;
    lsp::Transport transport(in, out);
    try {
      transport.read();
      ADD_FAILURE() << length;
    } catch (const lsp::FramingError& e) {
      EXPECT_EQ(std::string(e.what()), length == lsp::Transport::kMaxMessageBytes
                                           ? "input ended inside a message"
                                           : "message too large");
    }
  }
}
