#include "tarnwick/core/ipv4.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

namespace tarnwick::core {
namespace {

TEST(IPv4Address, Parse) {
  // Valid texts must round-trip through str(); "\xd9\xa3" is a non-ASCII digit.
  // clang-format off
  const std::pair<std::string, bool> cases[] = {
      {"10.1.2.3", true}, {"0.0.0.0", true}, {"255.255.255.255", true}, {"010.1.1.1", false},
      {"1.2.3.04", false}, {"256.0.0.0", false}, {"1.2.3.1000", false}, {" 10.0.0.1", false},
      {"10.0.0.1\n", false}, {"10.0.0", false}, {"10.0.0.0.1", false}, {"10..0.1", false},
      {"", false}, {"+1.2.3.4", false}, {"0x1.2.3.4", false}, {"1.2.3.\xd9\xa3", false},
      {std::string("1.2.3.4\0", 8), false}};
  // clang-format on
  for (const auto& [text, ok] : cases) {
    auto parsed = IPv4Address::parse(text);
    EXPECT_EQ(parsed ? parsed->str() : "", ok ? text : "") << '"' << text << '"';
  }
  EXPECT_EQ(IPv4Address::parse("10.1.2.3")->bits(), 0x0A010203u);
}

TEST(IPv4Network, Parse) {
  // Expected: canonical str(), "" when refused, "host:" + suggestion when host bits are set.
  // Masks may be prefix lengths (leading zeros allowed), netmasks or hostmasks; all-zeros and
  // all-ones are read as netmasks.
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {"10.1.0.0/16", "10.1.0.0/16"}, {"10.0.0.1", "10.0.0.1/32"}, {"0.0.0.0/00", "0.0.0.0/0"},
      {"10.0.0.0/000000000000000000000000016", "10.0.0.0/16"},
      {"10.0.0.0/255.255.0.0", "10.0.0.0/16"}, {"10.0.0.0/0.0.255.255", "10.0.0.0/16"},
      {"0.0.0.0/0.0.0.1", "0.0.0.0/31"}, {"0.0.0.0/0.0.0.0", "0.0.0.0/0"},
      {"1.2.3.4/255.255.255.255", "1.2.3.4/32"},
      {"10.0.0.1/16", "host:10.0.0.0/16"}, {"10.0.0.1/0.0.255.255", "host:10.0.0.0/16"},
      {"1.2.3.4/0.0.0.0", "host:0.0.0.0/0"}, {"10.255.255.255/31", "host:10.255.255.254/31"},
      {"", ""}, {"/8", ""}, {"10.0.0.0/", ""}, {"10.0.0.0/8/8", ""}, {"10.0.0.0/33", ""},
      {"10.0.0.0/99999999999999999999", ""}, {"10.0.0.0/+8", ""}, {"10.0.0.0/8 ", ""},
      {"10.0.0.0 /8", ""}, {"10.0.0.0/0x8", ""}, {"10.0.0.0/\xd9\xa3", ""},
      {"10.0.0.0/255.0.255.0", ""}, {"10.0.0.0/1.2.3.4", ""}, {"10.0.0.0/255.255.0.00", ""},
      {"010.0.0.0/8", ""}};
  // clang-format on
  for (const auto& [text, expected] : cases) {
    auto r = IPv4Network::parse(text);
    std::string got = r.network ? r.network->str() : r.host_bits_set ? "host:" + r.suggestion : "";
    EXPECT_EQ(got, expected) << '"' << text << '"';
    EXPECT_FALSE(r.network && r.host_bits_set) << '"' << text << '"';
  }
  EXPECT_EQ(IPv4Network().str(), "0.0.0.0/0");
  EXPECT_EQ(IPv4Network().netmask().str(), "0.0.0.0");
  EXPECT_EQ(IPv4Network::parse("10.0.0.0/31").network->netmask().str(), "255.255.255.254");
}

TEST(IPv4Network, SubnetOf) {
  const std::tuple<std::string, std::string, bool> cases[] = {
      {"10.1.0.0/16", "10.0.0.0/8", true},       {"10.0.0.0/8", "10.1.0.0/16", false},
      {"10.0.0.0/8", "10.0.0.0/8", true},        {"11.0.0.0/8", "10.0.0.0/8", false},
      {"11.0.0.0/8", "10.0.0.0/7", true},        {"12.0.0.0/8", "10.0.0.0/7", false},
      {"10.0.0.5/32", "10.0.0.4/31", true},      {"10.0.0.4/32", "10.0.0.5/32", false},
      {"255.255.255.255/32", "0.0.0.0/0", true}, {"0.0.0.0/0", "0.0.0.0/0", true},
      {"0.0.0.0/0", "0.0.0.0/1", false},         {"128.0.0.0/1", "0.0.0.0/1", false}};
  for (const auto& [inner, outer, expected] : cases) {
    auto a = IPv4Network::parse(inner).network;
    auto b = IPv4Network::parse(outer).network;
    ASSERT_TRUE(a && b) << inner << " " << outer;
    EXPECT_EQ(a->subnet_of(*b), expected) << inner << " in " << outer;
  }
}

}  // namespace
}  // namespace tarnwick::core
