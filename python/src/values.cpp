#include "values.hpp"

#include <array>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "convert.hpp"

namespace tarnwick::python {

namespace {

// How the constructor leaves a network of one prefix length: the attributes it sets, in its
// order, each value shared but the network address's.
struct NetworkLayout {
  bool direct = false;
  std::vector<std::pair<py::object, py::object>> attributes;  // name, value
};

struct IpValues {
  PyTypeObject* address = nullptr;
  PyTypeObject* network = nullptr;
  py::object ip_name;               // the one slot of an address
  py::object network_address_name;  // the attribute a network's own address is kept in
  bool direct_addresses = false;
  std::array<NetworkLayout, 33> networks;  // by prefix length
};

// Made while the module initialises and never freed: its objects must not be released after
// the interpreter has finished.
IpValues* g_ip = nullptr;

py::object called(PyTypeObject* type, py::handle arg) {
  PyObject* out = PyObject_CallOneArg(reinterpret_cast<PyObject*>(type), arg.ptr());
  if (out == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(out);
}

py::object constructed_network(std::uint32_t bits, int prefix) {
  return called(g_ip->network, py::make_tuple(bits, prefix));
}

// An instance that no constructor has run on, as object.__new__ makes it.
py::object bare(PyTypeObject* type) {
  PyObject* out = type->tp_new(type, py::tuple().ptr(), nullptr);
  if (out == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(out);
}

void set(py::handle obj, py::handle name, py::handle value) {
  if (PyObject_SetAttr(obj.ptr(), name.ptr(), value.ptr()) != 0) throw py::error_already_set();
}

py::object direct_address(std::uint32_t bits) {
  py::object out = bare(g_ip->address);
  set(out, g_ip->ip_name, py::int_(bits));
  return out;
}

py::object direct_network(const NetworkLayout& layout, py::handle address) {
  py::object out = bare(g_ip->network);
  for (const auto& [name, value] : layout.attributes) {
    set(out, name, name.is(g_ip->network_address_name) ? address : py::handle(value));
  }
  return out;
}

// Whether users could tell a from b: their types, equality, hashes, reprs and held attributes.
bool alike(py::handle a, py::handle b) {
  if (Py_TYPE(a.ptr()) != Py_TYPE(b.ptr()) || !a.equal(b) || py::hash(a) != py::hash(b)) {
    return false;
  }
  if (!py::repr(a).equal(py::repr(b))) return false;
  const bool held = py::hasattr(b, "__dict__");
  return held == py::hasattr(a, "__dict__") &&
         (!held || a.attr("__dict__").equal(b.attr("__dict__")));
}

std::uint32_t mask_of(int prefix) {
  return prefix == 0 ? 0U : ~std::uint32_t{0} << (32 - prefix);
}

// Direct only where the constructor sets nothing but the address, netmask and prefix length:
// at /31 and /32 it also keeps a `hosts` function of its own.
NetworkLayout learn_layout(int prefix) {
  NetworkLayout layout;
  py::dict held = constructed_network(0, prefix).attr("__dict__");
  if (held.size() != 3 || !held.contains(g_ip->network_address_name)) return layout;
  for (auto [name, value] : held) {
    auto key = py::reinterpret_borrow<py::object>(name);
    if (key.equal(g_ip->network_address_name)) key = g_ip->network_address_name;
    layout.attributes.emplace_back(key, py::reinterpret_borrow<py::object>(value));
  }
  for (std::uint32_t sample : {0xC6336400U, 0xFFFFFFFFU}) {
    const std::uint32_t bits = sample & mask_of(prefix);
    const py::object address =
        g_ip->direct_addresses ? direct_address(bits) : called(g_ip->address, py::int_(bits));
    if (!alike(direct_network(layout, address), constructed_network(bits, prefix))) {
      return NetworkLayout{};
    }
  }
  layout.direct = true;
  return layout;
}

}  // namespace

void init_ip_values(py::handle ipaddress) {
  auto* ip = new IpValues;
  g_ip = ip;
  auto type = [&](const char* name) {
    return reinterpret_cast<PyTypeObject*>(py::object(ipaddress.attr(name)).release().ptr());
  };
  ip->address = type("IPv4Address");
  ip->network = type("IPv4Network");
  ip->ip_name = py::reinterpret_steal<py::object>(PyUnicode_InternFromString("_ip"));
  ip->network_address_name =
      py::reinterpret_steal<py::object>(PyUnicode_InternFromString("network_address"));
  // Another ipaddress may refuse or misplace what is set directly: then its constructors run.
  try {
    for (std::uint32_t bits : {0U, 0xC0A80101U, 0xFFFFFFFFU}) {
      ip->direct_addresses = true;
      if (!alike(direct_address(bits), called(ip->address, py::int_(bits)))) {
        ip->direct_addresses = false;
        break;
      }
    }
  } catch (const py::error_already_set&) {
    ip->direct_addresses = false;
  }
  for (int prefix = 0; prefix <= 32; ++prefix) {
    try {
      ip->networks[static_cast<std::size_t>(prefix)] = learn_layout(prefix);
    } catch (const py::error_already_set&) {
      ip->networks[static_cast<std::size_t>(prefix)] = NetworkLayout{};
    }
  }
}

py::object ValueCache::str(std::string_view utf8) {
  ShortText key;
  if (utf8.size() > sizeof key.words) return text(utf8);
  key.size = utf8.size();
  std::memcpy(key.words.data(), utf8.data(), utf8.size());
  const std::size_t hash = spread(key.words[0] ^ (key.words[1] * 31) ^ (key.words[2] * 131) ^ key.size);
  if (py::handle kept = strings_.find(key, hash)) return py::reinterpret_borrow<py::object>(kept);
  py::object made = text(utf8);
  strings_.keep(key, hash, made);
  return made;
}

py::object ValueCache::address(std::uint32_t bits) {
  const std::uint64_t key = std::uint64_t{bits} | (std::uint64_t{1} << 40);
  if (py::handle kept = ips_.find(key, spread(key))) return py::reinterpret_borrow<py::object>(kept);
  py::object made =
      g_ip->direct_addresses ? direct_address(bits) : called(g_ip->address, py::int_(bits));
  ips_.keep(key, spread(key), made);
  return made;
}

py::object ValueCache::network(std::uint32_t bits, int prefix) {
  const std::uint64_t key = std::uint64_t{bits} | (static_cast<std::uint64_t>(prefix) << 32);
  if (py::handle kept = ips_.find(key, spread(key))) return py::reinterpret_borrow<py::object>(kept);
  const NetworkLayout& layout = g_ip->networks[static_cast<std::size_t>(prefix)];
  py::object made =
      layout.direct ? direct_network(layout, address(bits)) : constructed_network(bits, prefix);
  ips_.keep(key, spread(key), made);
  return made;
}

}  // namespace tarnwick::python
