#pragma once

#include <string>
#include <type_traits>

namespace kestrel {

// printf into a std::string.
std::string FormatArguments(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// The same, refusing at compile time an argument that is an object: a Message or a std::string
// passed to "..." would print garbage or an untranslated text, and GCC accepts it silently.
template <typename... Arguments>
std::string Printf(const char* pattern, const Arguments&... arguments) {
  static_assert((!std::is_class_v<Arguments> && ...), "pass .c_str() of a Message or a std::string");
  return FormatArguments(pattern, arguments...);
}

}  // namespace kestrel
