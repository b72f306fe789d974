#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace kestrel::uitest {

// The program's test classes by name; each registers itself with KESTREL_UI_TEST.
inline std::map<std::string, std::function<std::unique_ptr<QObject>()>> testClasses;

}  // namespace kestrel::uitest

#define KESTREL_UI_TEST(Class)                           \
  [[maybe_unused]] static const bool registered##Class = \
      kestrel::uitest::testClasses.emplace(#Class, [] { return std::make_unique<Class>(); }).second
