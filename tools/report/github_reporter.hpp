// Faults as workflow commands, which a CI runner turns into annotations on the lines.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "report/reporter.hpp"

namespace tarnwick::report {

class GithubReporter final : public Reporter {
 public:
  explicit GithubReporter(std::ostream& out) : out_(out) {}

  // ::error file=F,line=L,col=C,endLine=..,endColumn=..,title=LOC::MSG, one line per fault.
  void report(const DocumentReport& doc) override;

 private:
  std::ostream& out_;
};

// The runner's escapes: in a message % CR LF; in a property also ':' and ','.
std::string escape_message(std::string_view text);
std::string escape_property(std::string_view text);

}  // namespace tarnwick::report
