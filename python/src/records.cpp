#include "records.hpp"

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "convert.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"

namespace tarnwick::python {

namespace {

namespace core = tarnwick::core;

// ipaddress.IPv4Address and IPv4Network, looked up while the module initialises (a lazy lookup
// from a getter could deadlock on the import lock) and kept for the life of the process.
struct IpClasses {
  py::handle address;
  py::handle network;
};
IpClasses g_ip;

// ---------------------------------------------------------------------------------------------
// Member values as Python values. Nested records are returned by reference, kept alive by the
// record they belong to: records never change once built, so a reference is as good as a copy.

py::object to_py(bool v, py::handle) {
  return py::bool_(v);
}
py::object to_py(const std::string& v, py::handle) {
  return text(v);
}
py::object to_py(const core::IPv4Address& v, py::handle) {
  return g_ip.address(v.bits());
}
py::object to_py(const core::IPv4Network& v, py::handle) {
  return g_ip.network(py::make_tuple(v.network_address().bits(), v.prefix_length()));
}

template <class T>
py::object to_py(const std::optional<T>& v, py::handle owner);
template <class T>
py::object to_py(const std::vector<T>& v, py::handle owner);
template <class V>
py::object to_py(const core::OrderedMap<std::string, V>& v, py::handle owner);

template <class R>
requires std::is_base_of_v<core::BaseModel, R> py::object to_py(const R& rec, py::handle owner) {
  return py::cast(&rec, py::return_value_policy::reference_internal, owner);
}

template <class T>
py::object to_py(const std::optional<T>& v, py::handle owner) {
  return v ? to_py(*v, owner) : py::none();
}

template <class T>
py::object to_py(const std::vector<T>& v, py::handle owner) {
  py::list out(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) out[i] = to_py(v[i], owner);
  return out;
}

template <class V>
py::object to_py(const core::OrderedMap<std::string, V>& v, py::handle owner) {
  py::dict out;
  for (const auto& [key, value] : v) out[text(key)] = to_py(value, owner);
  return out;
}

// ---------------------------------------------------------------------------------------------
// A record class, made by visiting the record's field table: one read-only attribute per row,
// named by its key, documented by its description.

// The value a row's member reads as in Python.
template <class R, class Row>
py::object row_value(const Row& row, const R& rec, py::handle self) {
  using T = typename Row::field_type;
  const auto& value = rec.*row.member;
  if constexpr (core::types::is_or_empty_v<T>) {
    // An absent section reads as empty, as it dumps.
    if (!value) return py::dict();
  }
  return to_py(value, self);
}

// The classes made so far, by record name ("BackupConfig.S3Config" is S3Config inside
// BackupConfig).
using Classes = std::map<std::string, py::object, std::less<>>;

template <class R>
void bind_record(py::module_& m, Classes& classes) {
  constexpr const auto& table = core::table_of<R>;
  const std::string full_name(table.name);
  if (classes.count(full_name) != 0) return;
  const std::size_t dot = full_name.rfind('.');
  py::handle scope = dot == std::string::npos ? py::handle(m) : classes.at(full_name.substr(0, dot));
  const std::string name = dot == std::string::npos ? full_name : full_name.substr(dot + 1);
  using Base = std::conditional_t<std::is_base_of_v<core::ModeIdConfig, R> &&
                                      !std::is_same_v<R, core::ModeIdConfig>,
                                  core::ModeIdConfig, core::BaseModel>;
  py::class_<R, Base> cls(scope, name.c_str(), std::string(table.description).c_str());

  py::tuple keys(table.size);
  std::size_t i = 0;
  table.each([&](const auto& row) {
    keys[i++] = text(row.key);
    cls.def_property_readonly(
        std::string(row.key).c_str(),
        [row](py::object self) { return row_value(row, self.cast<const R&>(), self); },
        std::string(row.description).c_str());
  });
  cls.attr("_fields") = keys;

  cls.def("__repr__", [](py::object self) {
    const R& rec = self.cast<const R&>();
    std::string out = py::str(py::type::handle_of(self).attr("__qualname__"));
    out += '(';
    bool first = true;
    table.each([&](const auto& row) {
      if (!first) out += ", ";
      first = false;
      out += std::string(row.key) + "=" +
             py::repr(row_value(row, rec, self)).template cast<std::string>();
    });
    return out + ')';
  });
  cls.def("__eq__", [](const R& a, py::object b) -> py::object {
    if (!py::isinstance<R>(b)) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
    return py::bool_(a == b.cast<const R&>());
  });
  // Equal records dump alike, so the dump's text is a valid hash.
  cls.def("__hash__", [](const R& rec) {
    return std::hash<std::string>{}(
        core::dump(rec).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
  });
  // Immutable: a copy is the record itself.
  cls.def("__copy__", [](py::object self) { return self; });
  cls.def(
      "__deepcopy__", [](py::object self, py::handle) { return self; }, py::arg("memo"));
  classes.emplace(full_name, cls);
}

template <std::size_t N>
py::tuple texts(const std::array<std::string_view, N>& list) {
  py::tuple out(N);
  for (std::size_t i = 0; i < N; ++i) out[i] = text(list[i]);
  return out;
}

}  // namespace

void bind_records(py::module_& m) {
  py::module_ ipaddress = py::module_::import("ipaddress");
  g_ip.address = py::object(ipaddress.attr("IPv4Address")).release();
  g_ip.network = py::object(ipaddress.attr("IPv4Network")).release();

  using core::BaseModel;
  py::class_<BaseModel>(m, "_BaseModel",
                        "The base of every record. discovery_only is the mode of the most recent "
                        "load (True when it only discovered).")
      .def_property_readonly_static(
          "discovery_only", [](py::handle) { return BaseModel::discovery_only(); },
          "Whether the most recent load ran in discovery-only mode.");

  // The base of identified records first, then every record the document reaches.
  Classes classes;
  bind_record<core::ModeIdConfig>(m, classes);
  core::for_each_record_type<core::DiscoveryConfiguration>(
      [&]<class R>() { bind_record<R>(m, classes); });
  auto terraform = classes.at("TerraformConfig");
  terraform.attr("DEFAULT_MODULE_SOURCE") = text(core::TerraformConfig::DEFAULT_MODULE_SOURCE);
  terraform.attr("DEFAULT_MODULE_NAME") = text(core::TerraformConfig::DEFAULT_MODULE_NAME);

  m.attr("REGION_NAMES") = texts(core::REGION_NAMES);
  m.attr("CLEANUP_RESOURCES") = texts(core::CLEANUP_RESOURCES);
  m.attr("GW_NAME_KEYS") = texts(core::GW_NAME_KEYS);
}

}  // namespace tarnwick::python
