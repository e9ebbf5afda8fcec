#include "tarnwick/core/errors.hpp"

#include <algorithm>

namespace tarnwick::core {

std::string loc_text(const Loc& loc) {
  std::string out;
  for (const LocPart& part : loc) {
    if (!out.empty()) out += '.';
    if (const auto* key = std::get_if<std::string>(&part)) {
      out += *key;
    } else {
      out += std::to_string(std::get<std::int64_t>(part));
    }
  }
  return out;
}

nlohmann::ordered_json ErrorDetail::to_json() const {
  nlohmann::ordered_json o;
  auto& l = o["loc"] = nlohmann::ordered_json::array();
  for (const LocPart& part : loc) {
    if (const auto* key = std::get_if<std::string>(&part)) {
      l.push_back(*key);
    } else {
      l.push_back(std::get<std::int64_t>(part));
    }
  }
  o["msg"] = msg;
  o["type"] = type;
  if (!ctx.is_null()) o["ctx"] = ctx;
  if (mark.known()) {
    o["line"] = mark.line;
    o["column"] = mark.column;
  }
  return o;
}

const char* applicability_name(Applicability applicability) {
  return applicability == Applicability::safe ? "safe" : "unsafe";
}

const char* severity_name(Severity severity) {
  switch (severity) {
    case Severity::warning:
      return "warning";
    case Severity::note:
      return "note";
    case Severity::error:
      break;
  }
  return "error";
}

namespace {

// 4212 -> "4,212"
std::string grouped(std::size_t n) {
  std::string digits = std::to_string(n);
  for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
  return digits;
}

}  // namespace

std::string shown_message(const ErrorDetail& fault, std::size_t max_items) {
  max_items = std::max<std::size_t>(max_items, 1);
  if (fault.listed_from > fault.msg.size() || fault.list_separator.empty()) return fault.msg;
  const std::string_view list = std::string_view(fault.msg).substr(fault.listed_from);
  std::size_t at = 0;
  for (std::size_t shown = 0; shown < max_items; ++shown) {
    at = list.find(fault.list_separator, at);
    if (at == std::string_view::npos) return fault.msg;  // no more than max_items
    at += fault.list_separator.size();
  }
  std::size_t rest = 1;  // the item starting at `at`
  for (std::size_t i = list.find(fault.list_separator, at); i != std::string_view::npos;
       i = list.find(fault.list_separator, i + fault.list_separator.size())) {
    ++rest;
  }
  const std::size_t kept_end = fault.listed_from + at - fault.list_separator.size();
  return fault.msg.substr(0, kept_end) + " and " + grouped(rest) + " more";
}

namespace {

std::string summarize(const std::string& model, const std::vector<ErrorDetail>& errors) {
  std::string out = std::to_string(errors.size()) + " validation error" +
                    (errors.size() == 1 ? "" : "s") + " for " + model;
  for (const ErrorDetail& e : errors) {
    std::string where;
    for (const LocPart& part : e.loc) {
      if (!where.empty()) where += " -> ";
      if (const auto* key = std::get_if<std::string>(&part)) {
        where += *key;
      } else {
        where += std::to_string(std::get<std::int64_t>(part));
      }
    }
    out += "\n" + where + "\n  " + e.msg + " (type=" + e.type;
    if (e.ctx.is_object()) {
      for (const auto& [k, v] : e.ctx.items()) {
        out += "; " + k + "=" + (v.is_string() ? v.get<std::string>() : v.dump());
      }
    }
    out += ")";
  }
  return out;
}

}  // namespace

ValidationError::ValidationError(std::string model, std::vector<ErrorDetail> errors)
    : model_(std::move(model)), errors_(std::move(errors)), summary_(summarize(model_, errors_)) {}

nlohmann::ordered_json ValidationError::to_json() const {
  auto a = nlohmann::ordered_json::array();
  for (const ErrorDetail& e : errors_) a.push_back(e.to_json());
  return a;
}

std::string ValidationError::json() const {
  // ASCII only, as the host's JSON encoder writes it; a stray invalid byte never aborts the report.
  return to_json().dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace tarnwick::core
