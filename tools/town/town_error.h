// The one kind of failure velmora-town reports: a single line for standard error, naming the
// file or option at fault. Everything that goes wrong is thrown as this and caught in main.
#pragma once

#include <stdexcept>
#include <string>

namespace velmora::town {

class TownError : public std::runtime_error {
 public:
  explicit TownError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace velmora::town
