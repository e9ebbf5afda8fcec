// The small values a conversion makes by the hundred thousand: strings and ipaddress values.
// Equal values are made once per conversion and shared (both kinds are immutable), and ipaddress
// values are put together directly rather than by running ipaddress's constructors.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include <pybind11/pybind11.h>

namespace tarnwick::python {

namespace py = pybind11;

// Looks up IPv4Address and IPv4Network and learns how the constructors lay out a value. A value
// put together directly must equal, hash, print and hold the attributes of the constructed one;
// where it would not (another ipaddress), and for the prefixes whose constructor keeps more
// (/31 and /32), the constructor is called.
void init_ip_values(py::handle ipaddress);

// Recently made values, by a key that stands for the value: a fixed table where a key has one
// place, and a newer key takes it over. Repeats in a document are mostly near each other or very
// frequent (the same zones, tag keys and networks in every VPC), and a table this small stays in
// the processor's cache where a growing map would not.
template <class Key, std::size_t kSize = 256>
class RecentValues {
 public:
  RecentValues() = default;
  RecentValues(const RecentValues&) = delete;
  RecentValues& operator=(const RecentValues&) = delete;

  // The value kept for key, or null.
  py::handle find(const Key& key, std::size_t hash) const {
    if (!slots_) return {};
    const Slot& slot = slots_[hash % kSize];
    return slot.value && slot.key == key ? py::handle(slot.value) : py::handle();
  }
  void keep(const Key& key, std::size_t hash, const py::object& value) {
    // Made when first needed: a small document may hold no address at all.
    if (!slots_) slots_ = std::make_unique<Slot[]>(kSize);
    Slot& slot = slots_[hash % kSize];
    slot.key = key;
    slot.value = value;
  }

 private:
  struct Slot {
    Key key{};
    py::object value;
  };
  std::unique_ptr<Slot[]> slots_;
};

// A short text as a key: its bytes and length, compared without reading the text again.
struct ShortText {
  std::array<std::uint64_t, 3> words{};
  std::size_t size = 0;
  friend bool operator==(const ShortText&, const ShortText&) = default;
};

// Spreads a key's bits over a table (the multiplier of Fibonacci hashing).
inline std::size_t spread(std::uint64_t key) {
  return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> 32);
}

// What one conversion has made, so that equal values are made once where they repeat. It is
// never shared between conversions: making a value may run Python code, so the interpreter may
// run another thread's conversion in the middle of this one.
class ValueCache {
 public:
  py::object str(std::string_view utf8);
  py::object address(std::uint32_t bits);
  // Precondition: prefix <= 32 and no bits of `bits` below the prefix.
  py::object network(std::uint32_t bits, int prefix);

 private:
  RecentValues<ShortText, 512> strings_;
  RecentValues<std::uint64_t> ips_;
};

}  // namespace tarnwick::python
