#include "cli/paths.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <system_error>
#include <utility>

namespace tarnwick::cli {

namespace fs = std::filesystem;

namespace {

using FolderId = std::pair<dev_t, ino_t>;

struct Walk {
  std::set<FolderId> seen;  // every folder entered, by identity: a symlink loop ends there
  std::vector<Target> found;
};

bool hidden(const fs::path& path) {
  const std::string name = path.filename().string();
  return !name.empty() && name[0] == '.';
}

void add_document(const fs::path& path, Walk& w) {
  w.found.push_back({path.string(), {}});
}

void walk(const fs::path& folder, Walk& w) {
  std::error_code error;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    entries.push_back(it->path());
  }
  if (error) {
    w.found.push_back({folder.string(), "cannot read " + folder.string() + ": " + error.message()});
    return;
  }
  std::sort(entries.begin(), entries.end());
  for (const fs::path& entry : entries) {
    if (hidden(entry)) continue;
    struct stat info {};
    if (::stat(entry.c_str(), &info) != 0) {
      // A dangling or looping symlink named as a document: its load says why it cannot be read.
      if (is_document_name(entry)) add_document(entry, w);
      continue;
    }
    if (S_ISDIR(info.st_mode)) {
      if (w.seen.insert({info.st_dev, info.st_ino}).second) walk(entry, w);
    } else if (S_ISREG(info.st_mode) && is_document_name(entry)) {
      // Only regular files: a FIFO named x.yaml would block the run on its read.
      add_document(entry, w);
    }
  }
}

void add_folder(const std::string& argument, const struct stat& info, std::vector<Target>& out) {
  Walk w;
  w.seen.insert({info.st_dev, info.st_ino});
  walk(argument, w);
  if (w.found.empty()) {
    throw UsageError(argument + ": no document in this folder (no *.yaml or *.yml file)");
  }
  // By path, element by element: a folder's documents stay together.
  std::sort(w.found.begin(), w.found.end(),
            [](const Target& a, const Target& b) { return fs::path(a.path) < fs::path(b.path); });
  for (Target& t : w.found) out.push_back(std::move(t));
}

}  // namespace

bool is_document_name(const fs::path& path) {
  const std::string ext = path.extension().string();
  return ext == ".yaml" || ext == ".yml";
}

std::vector<Target> expand_arguments(const std::vector<std::string>& arguments) {
  std::vector<Target> out;
  for (const std::string& argument : arguments) {
    struct stat info {};
    if (argument != "-" && ::stat(argument.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      add_folder(argument, info, out);
    } else {
      out.push_back({argument, {}});  // the load reports a file that is missing or unreadable
    }
  }
  return out;
}

}  // namespace tarnwick::cli
