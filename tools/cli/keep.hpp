// What a command-line run leaves to the end of the process instead of freeing it.
#pragma once

#include <optional>
#include <utility>

namespace tarnwick::cli {

// The last value of a type a run made is left to the end of the process: freeing a large
// document's records piece by piece is a noticeable share of a run, and the system takes the
// memory back at once. Each earlier one is freed when the next is kept, so a run over many
// documents holds one at a time.
template <class T>
void keep_until_exit(T value) {
  static auto* const kept = new std::optional<T>();  // never destroyed, on purpose
  kept->emplace(std::move(value));
}

}  // namespace tarnwick::cli
