#include "CliProcess.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace kestrel::cli::testing {
namespace {

// A folder of this test process's own, removed when the process ends.
const std::string& TestFolder() {
  struct Folder {
    Folder() {
      std::string pattern = std::filesystem::temp_directory_path() / "kestrel-cli-test-XXXXXX";
      if (mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~Folder() {
      std::error_code ignored;
      if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    std::string path;
  };
  static const Folder folder;
  return folder.path;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

}  // namespace

bool CliRun::HasLine(const std::string& line) const {
  for (const std::string& l : lines)
    if (l == line) return true;
  return false;
}

bool CliRun::HasLineContaining(const std::string& part) const { return IndexOfLineContaining(part) >= 0; }

int CliRun::IndexOfLineContaining(const std::string& part, int from) const {
  for (int i = std::max(from, 0); i < static_cast<int>(lines.size()); ++i)
    if (lines[static_cast<std::size_t>(i)].find(part) != std::string::npos) return i;
  return -1;
}

int CliRun::CountLinesContaining(const std::string& part) const {
  int count = 0;
  for (const std::string& l : lines)
    if (l.find(part) != std::string::npos) ++count;
  return count;
}

std::string TempPath(const std::string& name) { return TestFolder() + "/" + name; }

std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

CliRun RunCli(const std::vector<std::string>& arguments,
              const std::vector<std::pair<std::string, std::string>>& environment, const std::string& workingDir) {
  static int runNumber = 0;
  const std::string stem = TempPath("run" + std::to_string(++runNumber));
  const std::string outPath = stem + ".out";
  const std::string errPath = stem + ".err";
  const std::string binary = KESTREL_BINARY_DIR "/cli/kestrel-cli";

  std::vector<std::string> argv = {binary};
  argv.insert(argv.end(), arguments.begin(), arguments.end());

  const pid_t child = fork();
  if (child == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    if (chdir(workingDir.empty() ? TestFolder().c_str() : workingDir.c_str()) != 0) _exit(126);
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    execv(binary.c_str(), pointers.data());
    _exit(127);
  }
  CliRun run;
  int waitStatus = 0;
  if (child > 0 && waitpid(child, &waitStatus, 0) == child && WIFEXITED(waitStatus))
    run.status = WEXITSTATUS(waitStatus);
  run.out = ReadFileBytes(outPath);
  run.err = ReadFileBytes(errPath);
  run.lines = SplitLines(run.out);
  return run;
}

std::vector<std::string> Simulated328P(std::vector<std::string> more) {
  std::vector<std::string> arguments = {"--simulate", "--catalogue", KESTREL_SOURCE_DIR "/data/chip.txt",
                                        "--chip", "ATmega328P"};
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

}  // namespace kestrel::cli::testing
