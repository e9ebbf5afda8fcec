// The record types as Python values: their tables for the Python layer to make classes from, and
// loaded records converted once into instances of those classes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>

#include "tarnwick/core/document.hpp"

namespace tarnwick::python {

namespace py = pybind11;

// Adds _tables, _register, _default, _schema, _build and _is_expected_vpc_prefix to the module.
void bind_records(py::module_& m);

// One of the host's lists as given (its mode ids, its GW_NAME_KEYS: an iterable of str), or none
// (None): the built-in one applies.
std::optional<std::vector<std::string>> host_list_of(py::handle list);

// A build's faults and those of the values the converter could not read, as one failure.
core::ValidationError with_unreadable(std::string model, std::vector<core::ErrorDetail> built,
                                      std::vector<core::ErrorDetail> unreadable);

// The document as an instance of the registered DiscoveryConfiguration class.
py::object document_to_python(const core::DiscoveryConfiguration& config);

}  // namespace tarnwick::python
