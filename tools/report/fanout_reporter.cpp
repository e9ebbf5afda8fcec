#include "report/fanout_reporter.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <system_error>

namespace tarnwick::report {

namespace {

[[noreturn]] void cannot_write(const std::filesystem::path& target, int error) {
  throw WriteError("cannot write " + target.string() + ": " +
                   std::system_category().message(error));
}

// Writes all of `text` to `fd`; false with errno set on a failure.
bool write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

void write_whole(const std::filesystem::path& target, std::string_view text,
                 std::optional<std::filesystem::perms> mode) {
  std::filesystem::path partial = target;
  partial += ".partial";
  const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) cannot_write(target, errno);
  const bool written =
      (!mode || ::fchmod(fd, static_cast<mode_t>(*mode & std::filesystem::perms::mask)) == 0) &&
      write_all(fd, text) && ::fsync(fd) == 0;
  int error = written ? 0 : errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(partial.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(partial.c_str());
    cannot_write(target, error);
  }
}

void FanoutReporter::report(const DocumentReport& doc) {
  for (const auto& r : reporters_) r->report(doc);
}

void FanoutReporter::report_fatal(std::string_view name, const core::ErrorDetail& fault) {
  for (const auto& r : reporters_) r->report_fatal(name, fault);
}

void FanoutReporter::finish() {
  std::string failures;
  for (const auto& r : reporters_) {
    try {
      r->finish();
    } catch (const std::exception& e) {
      failures += (failures.empty() ? "" : "; ") + std::string(e.what());
    }
  }
  if (!failures.empty()) throw WriteError(failures);
}

FileReporter::FileReporter(Format format, std::filesystem::path path, std::string_view version)
    : format_(format),
      path_(std::move(path)),
      inner_(make_reporter_on(format, buffer_, version, false)) {}

void FileReporter::finish() {
  inner_->finish();
  std::string text = buffer_.str();
  // The JSON report prints nothing for a valid run; a file must still parse.
  if (text.empty() && format_ == Format::Json) text = "[]\n";
  write_whole(path_, text);
}

}  // namespace tarnwick::report
