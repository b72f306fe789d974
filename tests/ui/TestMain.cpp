#include <QApplication>
#include <QTest>
#include <cstring>
#include <string>

#include "ui/UiTestRegistry.h"

// Runs every registered test class, or only the one named by --class=Name; the remaining
// arguments go to Qt Test.
int main(int argc, char** argv) {
  std::string only;
  int kept = 0;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && std::strncmp(argv[i], "--class=", 8) == 0) only = argv[i] + 8;
    else argv[kept++] = argv[i];
  }
  argc = kept;
  QApplication application(argc, argv);
  int failures = 0;
  bool ran = false;
  for (const auto& entry : kestrel::uitest::Registry()) {
    if (!only.empty() && only != entry.name) continue;
    ran = true;
    auto test = entry.make();
    failures += QTest::qExec(test.get(), argc, argv);
  }
  return ran ? failures : 2;
}
