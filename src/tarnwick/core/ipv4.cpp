#include "tarnwick/core/ipv4.hpp"

#include <cassert>

namespace tarnwick::core {

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Mask with the top prefix_length bits set; a plain shift by 32 would be undefined.
std::uint32_t mask_bits(int prefix_length) {
  return prefix_length == 0 ? 0u : ~std::uint32_t{0} << (32 - prefix_length);
}

// The prefix length whose mask is exactly `bits`, if `bits` is ones followed by zeros.
std::optional<int> prefix_of_mask(std::uint32_t bits) {
  int ones = 0;
  while (ones < 32 && (bits & (std::uint32_t{1} << (31 - ones))) != 0) ++ones;
  if (bits != mask_bits(ones)) return std::nullopt;
  return ones;
}

// A decimal prefix length: ASCII digits only, any number of leading zeros, value 0-32.
std::optional<int> parse_prefix_length(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (!is_digit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 32) return std::nullopt;  // also keeps long digit runs from overflowing
  }
  return value;
}

// After "/": a prefix length, else a dotted quad read as a netmask, else as a hostmask.
// All-zeros and all-ones are read as netmasks (/0 and /32), never as hostmasks.
std::optional<int> parse_mask(std::string_view text) {
  if (auto prefix = parse_prefix_length(text)) return prefix;
  auto quad = IPv4Address::parse(text);
  if (!quad) return std::nullopt;
  if (auto prefix = prefix_of_mask(quad->bits())) return prefix;
  return prefix_of_mask(~quad->bits());
}

}  // namespace

std::optional<IPv4Address> IPv4Address::parse(std::string_view text) {
  std::uint32_t bits = 0;
  std::size_t pos = 0;
  for (int octet = 0; octet < 4; ++octet) {
    if (octet > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    std::size_t start = pos;
    unsigned value = 0;
    while (pos < text.size() && is_digit(text[pos]) && pos - start < 3) {
      value = value * 10 + static_cast<unsigned>(text[pos] - '0');
      ++pos;
    }
    std::size_t len = pos - start;
    if (len == 0 || value > 255) return std::nullopt;
    if (len > 1 && text[start] == '0') return std::nullopt;  // "010" could be read as octal
    bits = bits << 8 | value;
  }
  // Anything left (a fourth digit, a fifth octet, a blank) makes the whole text invalid.
  if (pos != text.size()) return std::nullopt;
  return IPv4Address(bits);
}

std::string IPv4Address::str() const {
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) {
    if (shift != 24) out += '.';
    out += std::to_string((bits_ >> shift) & 0xFFu);
  }
  return out;
}

IPv4Network::IPv4Network(IPv4Address address, int prefix_length)
    : address_(address), prefix_length_(prefix_length) {
  assert(prefix_length >= 0 && prefix_length <= 32);
  assert((address.bits() & ~mask_bits(prefix_length)) == 0);
}

IPv4Network::ParseResult IPv4Network::parse(std::string_view text) {
  ParseResult result;
  std::string_view address_text = text;
  int prefix_length = 32;  // a bare address is a single host
  if (auto slash = text.find('/'); slash != std::string_view::npos) {
    address_text = text.substr(0, slash);
    auto mask_text = text.substr(slash + 1);
    // A second "/" fails both the prefix and the dotted-quad readings of the mask.
    auto prefix = parse_mask(mask_text);
    if (!prefix) return result;
    prefix_length = *prefix;
  }
  auto address = IPv4Address::parse(address_text);
  if (!address) return result;
  std::uint32_t network_bits = address->bits() & mask_bits(prefix_length);
  if (network_bits != address->bits()) {
    result.host_bits_set = true;
    result.suggestion = IPv4Network(IPv4Address(network_bits), prefix_length).str();
    return result;
  }
  result.network = IPv4Network(*address, prefix_length);
  return result;
}

IPv4Address IPv4Network::netmask() const {
  return IPv4Address(mask_bits(prefix_length_));
}

std::string IPv4Network::str() const {
  return address_.str() + '/' + std::to_string(prefix_length_);
}

bool IPv4Network::subnet_of(const IPv4Network& other) const {
  return prefix_length_ >= other.prefix_length_ &&
         (address_.bits() & mask_bits(other.prefix_length_)) == other.address_.bits();
}

}  // namespace tarnwick::core
