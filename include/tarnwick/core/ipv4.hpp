// IPv4 addresses and networks as plain values, with strict textual parsing.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::core {

class IPv4Address {
 public:
  constexpr IPv4Address() = default;  // 0.0.0.0
  explicit constexpr IPv4Address(std::uint32_t bits) : bits_(bits) {}

  // Exactly four dot-separated decimal octets 0-255, no leading zeros, no blanks.
  static std::optional<IPv4Address> parse(std::string_view text);

  constexpr std::uint32_t bits() const { return bits_; }
  std::string str() const;  // "10.1.2.3"

  friend auto operator<=>(const IPv4Address&, const IPv4Address&) = default;

 private:
  std::uint32_t bits_ = 0;
};

class IPv4Network {
 public:
  IPv4Network() = default;  // 0.0.0.0/0
  // Precondition: 0 <= prefix_length <= 32 and no bits of address below the prefix.
  IPv4Network(IPv4Address address, int prefix_length);

  struct ParseResult;  // defined below: it holds an IPv4Network, complete only there
  // "ADDR", "ADDR/PREFIX", "ADDR/NETMASK" or "ADDR/HOSTMASK"; host bits are refused.
  static ParseResult parse(std::string_view text);

  IPv4Address network_address() const { return address_; }
  int prefix_length() const { return prefix_length_; }
  IPv4Address netmask() const;
  std::string str() const;  // "10.1.0.0/16"

  // True when every address of *this lies in other; a network is a subnet of itself.
  bool subnet_of(const IPv4Network& other) const;

  friend bool operator==(const IPv4Network&, const IPv4Network&) = default;

 private:
  IPv4Address address_;
  int prefix_length_ = 0;
};

// A network, or the reason for refusal.
struct IPv4Network::ParseResult {
  std::optional<IPv4Network> network;
  bool host_bits_set = false;
  std::string suggestion;  // the network meant, e.g. "10.0.0.0/16", when host bits were set
};

}  // namespace tarnwick::core
