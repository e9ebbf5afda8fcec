// tarnwick.core._config_vpc_migration: the compiled half of tarnwick.core.config_vpc_migration.
// It builds and dumps documents; the Python half prints the report of a failed load and raises
// SystemExit, so that the report goes through sys.stdout like any Python output.
#include <pybind11/pybind11.h>
#include <pybind11/stl/filesystem.h>

#include <exception>
#include <filesystem>
#include <string>
#include <utility>

#include "convert.hpp"
#include "records.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/load.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace py = pybind11;
namespace core = tarnwick::core;
namespace yaml = tarnwick::yaml;
using tarnwick::python::from_json;
using tarnwick::python::text;

namespace {

// Created while the module initialises; kept for the life of the process.
PyObject* g_validation_failure = nullptr;
PyObject* g_yaml_error = nullptr;

// The failure's args: (model, summary, report JSON text, errors as dicts with tuple locs).
void raise_validation_failure(const core::ValidationError& e) {
  py::list errors;
  for (const core::ErrorDetail& detail : e.errors()) {
    py::dict d = from_json(detail.to_json());
    d["loc"] = py::tuple(d["loc"]);
    errors.append(std::move(d));
  }
  py::tuple args = py::make_tuple(text(e.model()), text(e.what()), text(e.json()), errors);
  PyErr_SetObject(g_validation_failure, args.ptr());
}

void raise_yaml_error(const yaml::YamlError& e) {
  py::object error = py::reinterpret_borrow<py::object>(g_yaml_error)(text(e.what()));
  error.attr("problem") = text(e.problem());
  error.attr("file") = text(e.file());
  error.attr("line") = e.mark().known() ? py::object(py::int_(e.mark().line)) : py::none();
  error.attr("column") = e.mark().known() ? py::object(py::int_(e.mark().column)) : py::none();
  PyErr_SetObject(g_yaml_error, error.ptr());
}

// OSError picks its subclass from the errno: FileNotFoundError, IsADirectoryError,
// PermissionError, or OSError itself.
void raise_os_error(const std::filesystem::filesystem_error& e) {
  auto filename = py::reinterpret_steal<py::object>(PyUnicode_DecodeFSDefault(e.path1().c_str()));
  if (!filename) throw py::error_already_set();
  py::object error = py::reinterpret_borrow<py::object>(PyExc_OSError)(
      e.code().value(), text(e.code().message()), filename);
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
}

void translate(std::exception_ptr p) {
  try {
    if (p) std::rethrow_exception(p);
  } catch (const core::ValidationError& e) {
    raise_validation_failure(e);
  } catch (const yaml::YamlError& e) {
    raise_yaml_error(e);
  } catch (const std::filesystem::filesystem_error& e) {
    raise_os_error(e);
  } catch (const core::TypeError& e) {
    PyErr_SetString(PyExc_TypeError, e.what());
  }
}

// The document, or the ValidationError thrown (the Python half prints it).
core::DiscoveryConfiguration document_or_throw(core::LoadResult loaded) {
  if (loaded.not_mapping) throw *loaded.not_mapping;
  if (loaded.error) throw std::move(*loaded.error);
  return std::move(*loaded.config);
}

core::DiscoveryConfiguration build_from_yaml(const std::filesystem::path& yml_path,
                                             bool discovery_only) {
  py::gil_scoped_release nogil;  // reading and building touch no Python object
  return document_or_throw(
      core::load(core::Source::file(yml_path), {.discovery_only = discovery_only}));
}

core::DiscoveryConfiguration build_from_dict(py::handle config_dict, bool discovery_only) {
  yaml::Document doc = tarnwick::python::document_from_python(config_dict);
  py::gil_scoped_release nogil;
  return document_or_throw(
      core::load(core::Source::tree(doc.root()), {.discovery_only = discovery_only}));
}

}  // namespace

PYBIND11_MODULE(_config_vpc_migration, m) {
  m.doc() = "The compiled records and loaders of tarnwick.core.config_vpc_migration.";

  g_validation_failure = PyErr_NewExceptionWithDoc(
      "tarnwick.core._config_vpc_migration._ValidationFailure",
      "A build that failed validation; args: (model, summary, json, errors).", PyExc_Exception,
      nullptr);
  g_yaml_error = PyErr_NewExceptionWithDoc(
      "tarnwick.core.config_vpc_migration.YamlError",
      "Malformed YAML, or YAML beyond the reader's limits. The message carries the file, line "
      "and column; problem, file, line and column hold them apart (line and column are None "
      "when unknown).",
      PyExc_ValueError, nullptr);
  if (g_validation_failure == nullptr || g_yaml_error == nullptr) throw py::error_already_set();
  m.attr("_ValidationFailure") = py::handle(g_validation_failure);
  m.attr("YamlError") = py::handle(g_yaml_error);
  py::register_local_exception_translator(translate);

  tarnwick::python::bind_records(m);

  m.def("_build_from_yaml", &build_from_yaml, py::arg("yml_path"), py::arg("discovery_only"),
        "Reads and builds a document; raises _ValidationFailure instead of printing.");
  m.def("_build_from_dict", &build_from_dict, py::arg("config_dict"), py::arg("discovery_only"),
        "Builds a document from a dict; raises _ValidationFailure instead of printing.");
  m.def(
      "dump_to_dict",
      [](const core::DiscoveryConfiguration& config) {
        return from_json(core::dump_to_dict(config));
      },
      py::arg("config"),
      "Every field of every record in field order as a plain dict: addresses and networks as "
      "text, an absent tgw as {}, tf_cloud.tags as its text.");
  m.def(
      "dump_to_yaml",
      [](const core::DiscoveryConfiguration& config, const std::filesystem::path& dest) {
        core::dump_to_yaml(config, dest);
      },
      py::arg("config"), py::arg("dest"), "Reserved: writes nothing and reads nothing.");
}
