#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kestrel::cli::testing {

// What one run of the built kestrel-cli left behind.
struct CliRun {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
  std::vector<std::string> lines;  // `out` split at line breaks

  bool HasLine(const std::string& line) const;
  bool HasLineContaining(const std::string& part) const;
  int IndexOfLineContaining(const std::string& part, int from = 0) const;  // -1 when absent
  int CountLinesContaining(const std::string& part) const;
};

// Runs kestrel-cli with `arguments` in `workingDir` (the test's temporary folder when empty),
// the environment extended by `environment` (NAME, value) pairs, standard input empty.
CliRun RunCli(const std::vector<std::string>& arguments,
              const std::vector<std::pair<std::string, std::string>>& environment = {},
              const std::string& workingDir = "");

// The simulated programmer with the bundled catalogue and an ATmega328P selected.
std::vector<std::string> Simulated328P(std::vector<std::string> more);

std::string ReadFileBytes(const std::string& path);
std::string TempPath(const std::string& name);  // in a folder of this test program's own

}  // namespace kestrel::cli::testing
