#include "tarnwick/core/text_forms.hpp"

#include <gtest/gtest.h>

#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::core {
namespace {

TEST(PythonRepr, Strings) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"plain", "'plain'"},
      {"", "''"},
      {"it's", "\"it's\""},
      {"a\"b", "'a\"b'"},
      {"a'b\"c", R"('a\'b"c')"},
      {"\\", R"('\\')"},
      {"tab\there\nnl\r", R"('tab\there\nnl\r')"},
      {"\x01\x7f\u0080\u00a0\u00ad\u200b\u2028\u00e9\U0001F600\ufeff",
       "'\\x01\\x7f\\x80\\xa0\\xad\\u200b\\u2028\u00e9\U0001F600\\ufeff'"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(python_repr(text), expected) << text;
}

TEST(PythonRepr, Floats) {
  const std::pair<double, std::string_view> cases[] = {
      {1.0, "1.0"},
      {1.5, "1.5"},
      {0.1, "0.1"},
      {1e+16, "1e+16"},
      {1000000000000000.0, "1000000000000000.0"},
      {123456789.0, "123456789.0"},
      {0.0001, "0.0001"},
      {1e-05, "1e-05"},
      {1.5e+300, "1.5e+300"},
      {-2.5e-07, "-2.5e-07"},
      {685230.15, "685230.15"},
      {5e-324, "5e-324"},
      {1.7976931348623157e+308, "1.7976931348623157e+308"},
      {-0.0, "-0.0"},
      {100.0, "100.0"},
      {1.2345678901234568e+16, "1.2345678901234568e+16"},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(python_float_repr(value), expected);
}

TEST(PythonRepr, ParsedValues) {
  const std::string ones100 = "0b" + std::string(100, '1'), ones101 = ones100 + "1";
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"~", "None"},
      {"yes", "True"},
      {"Off", "False"},
      {"0x_1F", "31"},
      {"0123", "83"},
      {"1:30", "90"},
      {"-99999999999999999999999", "-99999999999999999999999"},
      {"0x10000000000000000", "18446744073709551616"},
      {ones100, "1267650600228229401496703205375"},  // the most digits converted
      {ones101, ones101},                            // past that: as written
      {"1_0.5", "10.5"},
      {".inf", "inf"},
      {"2001-12-14", "datetime.date(2001, 12, 14)"},
      {"'us-west-2 '", "'us-west-2 '"},
      {"[a, 1, [null]]", "['a', 1, [None]]"},
      {"{k: v, 2: [x], n: {}}", "{'k': 'v', 2: ['x'], 'n': {}}"},
  };
  for (const auto& [text, expected] : cases) {
    yaml::Document doc = yaml::read_string(text);
    EXPECT_EQ(python_repr(doc.root()), expected) << text;
  }
}

TEST(JsonStringList, EscapesToAscii) {
  EXPECT_EQ(json_string_list({"abc", "dec"}), R"(["abc", "dec"])");
  EXPECT_EQ(json_string_list({}), "[]");
  EXPECT_EQ(json_string_list({"q\"\\ \b\f\n\r\t\x01\u00e9\U0001F600\x7f"}),
            R"(["q\"\\ \b\f\n\r\t\u0001\u00e9\ud83d\ude00\u007f"])");
}

}  // namespace
}  // namespace tarnwick::core
