#pragma once

#include <string>

namespace kestrel {

// printf into a std::string.
std::string Printf(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kestrel
