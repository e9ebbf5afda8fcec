// Input: reading files and standard input whole, or a file in pieces, within the document size
// limit.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

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

// read(2) until `capacity` bytes or the end; false on a fault.
bool read_some(int fd, char* buffer, std::size_t capacity, std::size_t& got) {
  got = 0;
  while (got < capacity) {
    const ssize_t n = ::read(fd, buffer + got, capacity - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads to end of file, refusing more than `max_bytes`. `on_error` throws for errno.
template <typename OnError>
std::string read_all(int fd, std::size_t size_hint, std::size_t max_bytes, const std::string& name,
                     OnError on_error) {
  std::string data;
  std::size_t len = 0;
  // +1 sees end of file in one pass; saturating, so a limit of SIZE_MAX means no limit.
  data.resize(detail::sat_add(std::min(size_hint, max_bytes), 1));
  for (bool at_end = false; !at_end;) {
    if (len == data.size()) {
      data.resize(std::min(detail::sat_mul(data.size(), 2), detail::sat_add(max_bytes, 1)));
    }
    std::size_t got = 0;
    if (!read_some(fd, data.data() + len, data.size() - len, got)) on_error(errno);
    at_end = len + got < data.size();  // read_some stops short only at the end
    len += got;
    if (len > max_bytes) {
      throw YamlError("input is larger than the limit of " + std::to_string(max_bytes) + " bytes",
                      name, Mark{});
    }
  }
  data.resize(len);
  return data;
}

constexpr std::size_t kHeadBytes = 64 * 1024;

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

std::optional<FilePieces> FilePieces::open(const std::filesystem::path& path,
                                           const Limits& limits) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uintmax_t>(st.st_size) > limits.max_document_bytes) {
    ::close(fd);
    return std::nullopt;
  }
  std::optional<FilePieces> pieces;
  pieces.emplace(FilePieces(fd, static_cast<std::size_t>(st.st_size), limits.max_document_bytes));
  FilePieces& p = *pieces;
  p.head_.resize(kHeadBytes);
  std::size_t got = 0;
  if (!read_some(fd, p.head_.data(), p.head_.size(), got)) return std::nullopt;
  p.head_.resize(got);
  p.total_ = got;
  p.at_end_ = got < kHeadBytes;
  if (p.total_ > p.max_bytes_) return std::nullopt;
  return pieces;
}

FilePieces::FilePieces(FilePieces&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      size_(other.size_),
      max_bytes_(other.max_bytes_),
      head_(std::move(other.head_)),
      head_served_(other.head_served_),
      total_(other.total_),
      at_end_(other.at_end_) {}

FilePieces::~FilePieces() {
  if (fd_ >= 0) ::close(fd_);
}

bool FilePieces::read(unsigned char* buffer, std::size_t capacity, std::size_t& got) {
  got = 0;
  if (head_served_ < head_.size()) {
    got = std::min(capacity, head_.size() - head_served_);
    std::memcpy(buffer, head_.data() + head_served_, got);
    head_served_ += got;
    if (head_served_ == head_.size()) std::string().swap(head_);
    return true;
  }
  if (at_end_) return true;
  if (!read_some(fd_, reinterpret_cast<char*>(buffer), capacity, got)) return false;
  at_end_ = got == 0;
  total_ += got;
  return total_ <= max_bytes_;
}

std::string read_stdin_text(const Limits& limits) {
  return read_all(STDIN_FILENO, 64 * 1024, limits.max_document_bytes, "<stdin>", [](int err) {
    throw std::system_error(err, std::generic_category(), "cannot read standard input");
  });
}

}  // namespace tarnwick::yaml
