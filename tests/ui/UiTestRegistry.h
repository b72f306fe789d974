#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace kestrel::uitest {

struct Entry {
  const char* name;
  std::function<std::unique_ptr<QObject>()> make;
};

inline std::vector<Entry>& Registry() {
  static std::vector<Entry> entries;
  return entries;
}

struct Registration {
  template <typename Test>
  static bool Add(const char* name) {
    Registry().push_back({name, [] { return std::unique_ptr<QObject>(new Test); }});
    return true;
  }
};

}  // namespace kestrel::uitest

// Registers a Qt Test class with the test program under its own name.
#define KESTREL_UI_TEST(Class) \
  [[maybe_unused]] static const bool registered##Class = kestrel::uitest::Registration::Add<Class>(#Class)
