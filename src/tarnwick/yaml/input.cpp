// Input: reading files and standard input whole, within the document size limit.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "budget.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::yaml {
namespace {

struct Fd {
  int fd;
  bool owned;
  ~Fd() {
    if (owned) ::close(fd);
  }
};

// Reads to end of file, refusing more than `max_bytes`. `on_error` throws for errno.
template <typename OnError>
std::string read_all(int fd, std::size_t size_hint, std::size_t max_bytes, const std::string& name,
                     OnError on_error) {
  std::string data;
  std::size_t len = 0;
  // +1 sees end of file in one pass; saturating, so a limit of SIZE_MAX means no limit.
  data.resize(detail::sat_add(std::min(size_hint, max_bytes), 1));
  while (true) {
    if (len == data.size()) {
      data.resize(std::min(detail::sat_mul(data.size(), 2), detail::sat_add(max_bytes, 1)));
    }
    ssize_t n = ::read(fd, data.data() + len, data.size() - len);
    if (n < 0) {
      if (errno == EINTR) continue;
      on_error(errno);
    }
    if (n == 0) break;
    len += static_cast<std::size_t>(n);
    if (len > max_bytes) {
      throw YamlError("input is larger than the limit of " + std::to_string(max_bytes) + " bytes",
                      name, Mark{});
    }
  }
  data.resize(len);
  return data;
}

}  // namespace

std::string read_file_text(const std::filesystem::path& path, const Limits& limits) {
  auto fs_error = [&](const char* what, int err) {
    throw std::filesystem::filesystem_error(what, path,
                                            std::error_code(err, std::generic_category()));
  };
  Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC), true};
  if (file.fd < 0) {
    file.owned = false;
    fs_error("cannot open configuration file", errno);
  }
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) fs_error("cannot read configuration file", errno);
  if (S_ISDIR(st.st_mode)) fs_error("cannot read configuration file", EISDIR);
  std::string name = path.string();
  std::size_t hint = 0;
  if (S_ISREG(st.st_mode)) {
    if (static_cast<std::uintmax_t>(st.st_size) > limits.max_document_bytes) {
      throw YamlError("file of " + std::to_string(st.st_size) +
                          " bytes is larger than the limit of " +
                          std::to_string(limits.max_document_bytes) + " bytes",
                      name, Mark{});
    }
    hint = static_cast<std::size_t>(st.st_size);
  }
  return read_all(file.fd, hint, limits.max_document_bytes, name,
                  [&](int err) { fs_error("cannot read configuration file", err); });
}

std::string read_stdin_text(const Limits& limits) {
  return read_all(STDIN_FILENO, 64 * 1024, limits.max_document_bytes, "<stdin>", [](int err) {
    throw std::system_error(err, std::generic_category(), "cannot read standard input");
  });
}

}  // namespace tarnwick::yaml
