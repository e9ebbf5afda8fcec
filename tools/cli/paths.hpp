// The documents a command line names: files as given, folders walked for their YAML documents.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick::cli {

// A document to check, or a folder met on the walk that could not be listed (`unreadable` says
// why; the run reports it as that document's fault and goes on).
struct Target {
  std::string path;
  std::string unreadable;
};

// A command line that cannot be carried out as written (a folder with no document).
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Whether a file found in a folder is a document: its name ends in .yaml or .yml.
bool is_document_name(const std::filesystem::path& path);

// Each argument in order: "-" and files as they are (whatever their extension), a folder as the
// documents under it, recursively, sorted by path. Folder symlinks are followed, each folder
// once (so a loop ends); names starting with '.' (.git, editors' lock files) are not entered.
// Throws UsageError for a folder that holds no document.
std::vector<Target> expand_arguments(const std::vector<std::string>& arguments);

}  // namespace tarnwick::cli
