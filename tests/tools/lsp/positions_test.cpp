#include "lsp/positions.hpp"

#include <gtest/gtest.h>

namespace lsp = tarnwick::lsp;

// "é" is 2 bytes and 1 UTF-16 unit; "𝄞" is 4 bytes and 2 units (a surrogate pair).
TEST(LineIndex, OffsetsAndPositionsRoundTripAcrossLineBreaksAndWideCharacters) {
  const std::string text = "a: 1\r\nb: \xC3\xA9x\rc: \xF0\x9D\x84\x9Ey\nlast";
  const lsp::LineIndex index(text);
  ASSERT_EQ(index.line_count(), 4u);
  EXPECT_EQ(index.line(1), "b: \xC3\xA9x");
  struct Case {
    lsp::Position at;
    std::size_t offset;
  };
  for (const Case& c : {Case{{0, 0}, 0}, Case{{0, 4}, 4}, Case{{1, 4}, 6 + 5}, Case{{1, 5}, 6 + 6},
                        Case{{2, 3}, 13 + 3}, Case{{2, 5}, 13 + 7}, Case{{3, 4}, 22 + 4}}) {
    EXPECT_EQ(index.offset(c.at), c.offset) << c.at.line << ":" << c.at.character;
    EXPECT_EQ(index.position(c.offset), c.at) << c.offset;
  }
  EXPECT_EQ(index.offset({1, 99}), 6u + 6);  // clamped to the line's end
  EXPECT_EQ(index.offset({4, 0}), text.size());  // the line after the last
  EXPECT_EQ(index.offset({9, 0}), text.size());
  EXPECT_EQ(index.from_mark({3, 6}), (lsp::Position{2, 6}));  // mark columns count characters
  EXPECT_EQ(index.code_point_column(2, 6), 5u);
  EXPECT_EQ(index.code_point_column(1, 4), 4u);  // the units asked for, not one more
  EXPECT_EQ(index.position(5), (lsp::Position{0, 4}));  // inside a CRLF: the line's end
  const lsp::LineIndex euro("\xE2\x82\xACx: 1\n");  // "€" is 3 bytes and 1 unit
  EXPECT_EQ(euro.offset({0, 2}), 4u);
  EXPECT_EQ(euro.position(4), (lsp::Position{0, 2}));
  const lsp::LineIndex ka("\xE0\xA4\x95x: 1\n");  // U+0915: the lowest lead of 3 bytes
  EXPECT_EQ(ka.offset({0, 1}), 3u);
  EXPECT_EQ(ka.position(3), (lsp::Position{0, 1}));
}

// A byte that starts no UTF-8 sequence (a continuation byte, or 0xF8 and over) is one character
// of one unit, and the bytes after it keep their own.
TEST(LineIndex, StrayBytesAreOneUnitEach) {
  const lsp::LineIndex index("\xFFx\xF8\x80y\xF0\x9D\x84\x9Ez");
  struct Case {
    lsp::Position at;
    std::size_t offset;
  };
  for (const Case& c : {Case{{0, 1}, 1}, Case{{0, 2}, 2}, Case{{0, 3}, 3}, Case{{0, 4}, 4},
                        Case{{0, 5}, 5}, Case{{0, 7}, 9}, Case{{0, 8}, 10}}) {
    EXPECT_EQ(index.offset(c.at), c.offset) << c.at.character;
    EXPECT_EQ(index.position(c.offset), c.at) << c.offset;
  }
  // The lowest two-byte lead takes its continuation byte with it.
  const lsp::LineIndex lowest("\xC0\x80" "a");
  EXPECT_EQ(lowest.offset({0, 1}), 2u);
  EXPECT_EQ(lowest.position(3), (lsp::Position{0, 2}));
}

// A position as a client sends it: any integer that is not negative, signed or not; anything
// else reads as 0, and a number past 32 bits as the furthest position (never wrapped round).
TEST(LineIndex, PositionsReadFromAnyClientsNumbers) {
  using nlohmann::json;
  struct Case {
    json line;
    std::uint32_t read;
  };
  const Case cases[] = {{json(3), 3},
                        {json(std::uint64_t{7}), 7},
                        {json(-1), 0},
                        {json(2.5), 0},
                        {json("3"), 0},
                        {json(nullptr), 0},
                        {json(std::uint64_t{4294967301}), UINT32_MAX},
                        {json(std::int64_t{4294967301}), UINT32_MAX}};
  for (const Case& c : cases) {
    EXPECT_EQ(lsp::position_of({{"line", c.line}, {"character", 1}}),
              (lsp::Position{c.read, 1}))
        << c.line;
  }
  EXPECT_EQ(lsp::range_of(json{{"start", {{"line", 1}, {"character", 2}}}}),
            (lsp::Range{{1, 2}, {0, 0}}));
}
