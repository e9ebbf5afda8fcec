// A document's name as reports point at it: CI runners and code scanning resolve a relative
// path against the checkout, and an absolute one only as a file: URI.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::report {

// A relative path without its leading "./" steps ("././a.yaml" and ".//a.yaml" are "a.yaml"):
// a runner drops annotations whose file starts with "./". Anything else unchanged.
std::string_view shown_path(std::string_view name);

// The name as a URI: an absolute path as file:///path, a relative one as a relative reference
// (shown_path); every byte but unreserved ones and '/' escaped.
std::string uri_of(std::string_view name);

}  // namespace tarnwick::report
