// The one exception type of the Utils library, thrown only by pipe and process creation.
#pragma once

#include <stdexcept>
#include <string>

namespace Utils {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message = std::string()) : std::runtime_error(message) {}
};

}  // namespace Utils
