#include "cli/CommandLine.h"

#include <cctype>
#include <cstddef>

#include "base/Format.h"
#include "cli/CliTexts.h"

namespace kestrel::cli {
namespace {

constexpr std::size_t kOptionHelpColumn = 24;
constexpr std::size_t kCommandHelpColumn = 16;
constexpr std::size_t kCommandHelpWidth = 100;  // command help is wrapped at word breaks
constexpr std::string_view kBoxesMark = "{boxes}";

// The Auto box names joined by ", ".
std::string AutoBoxNames() {
  std::string names;
  for (const AutoBoxDescription& b : AutoBoxTable())
    names += (names.empty() ? "" : ", ") + std::string(b.name);
  return names;
}

// `usage` and its help beside it from `column` on; the help's own line breaks are kept.
std::string HelpEntry(const std::string& usage, const std::string& help, std::size_t column) {
  // A usage too wide for the column puts its help on the next line, as getopt's tools do.
  std::string entry = usage.size() < column ? usage + std::string(column - usage.size(), ' ')
                                            : usage + "\n" + std::string(column, ' ');
  for (char c : help) entry += c == '\n' ? "\n" + std::string(column, ' ') : std::string(1, c);
  return entry + "\n";
}

// Breaks `text` between words so that no line passes `width` columns once it is indented to
// `column`.
std::string Wrapped(const std::string& text, std::size_t column, std::size_t width) {
  std::string lines;
  std::size_t lineLength = column;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (lineLength > column && lineLength + 1 + word.size() > width) {
      lines += '\n';
      lineLength = column;
    } else if (lineLength > column) {
      lines += ' ';
      ++lineLength;
    }
    lines += word;
    lineLength += word.size();
    start = end + 1;
  }
  return lines;
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  ParseResult Run() {
    while (next_ < arguments_.size() && error_.empty()) {
      const std::string& word = arguments_[next_++];
      if (word.size() > 1 && word[0] == '-') {
        if (!TakeOption(word)) break;  // help or version: nothing more to read
      } else {
        TakeCommand(word);
      }
    }
    if (error_.empty() && !result_.help && !result_.version) CheckWhole();
    return ParseResult{result_, error_};
  }

 private:
  // False once the parse should stop without an error.
  bool TakeOption(const std::string& word) {
    std::string name = word;
    std::optional<std::string> inlineValue;
    if (const std::size_t equals = word.find('='); word.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = word.substr(0, equals);
      inlineValue = word.substr(equals + 1);
    }
    const OptionDescription* option = nullptr;
    for (const OptionDescription& o : OptionTable())
      if (name == o.name || (o.alias && name == o.alias)) option = &o;
    if (option && option->endsParse) {
      option->take(result_, {option->name, "", error_});
      return false;
    }
    if (!option || (!option->argument && inlineValue)) {
      error_ = Printf(messages::kCliUnknownOption, word.c_str());
    } else if (!option->argument) {
      option->take(result_, {option->name, "", error_});
    } else if (inlineValue || next_ < arguments_.size()) {
      option->take(result_, {option->name, inlineValue ? *inlineValue : arguments_[next_++], error_});
    } else {
      error_ = Printf(messages::kCliMissingArgument, name.c_str());
    }
    if (option && option->needsSimulate && !simOptionSeen_) simOptionSeen_ = option;
    return true;
  }

  void TakeCommand(const std::string& word) {
    for (const CommandDescription& c : CommandTable()) {
      if (word != c.name) continue;
      Command command{&c, {}, {}};
      if (c.argument != ArgumentKind::None) {
        if (next_ >= arguments_.size()) {
          error_ = Printf(messages::kCliMissingArgument, word.c_str());
          return;
        }
        command.path = arguments_[next_++];
      }
      if (c.argument == ArgumentKind::AutoList) {
        std::string badItem;
        const auto boxes = ParseAutoList(command.path, &badItem);
        if (!boxes) {
          error_ = Printf(messages::kCliUnknownAutoBox, badItem.c_str(), AutoBoxNames().c_str());
          return;
        }
        command.boxes = *boxes;
        command.path.clear();
      }
      result_.commands.push_back(std::move(command));
      return;
    }
    error_ = Printf(messages::kCliUnknownCommand, word.c_str());
  }

  void CheckWhole() {
    if (simOptionSeen_ && !result_.simulate)
      error_ = Printf(messages::kCliNeedsSimulate, simOptionSeen_->name);
    else if (result_.commands.empty() && !result_.job)
      error_ = messages::kCliNoCommand;
    for (const Command& c : result_.commands) {
      if (error_.empty() && result_.commands.size() > 1 &&
          std::holds_alternative<SessionCommand>(c.description->press))
        error_ = Printf(messages::kCliRunsAlone, c.description->name);
    }
    if (error_.empty()) CheckTexts();
  }

  // Every fuse or lock text a command writes was given, or set from a file before it.
  void CheckTexts() {
    bool textsSet = false;
    for (const Command& c : result_.commands) {
      const CommandDescription& what = *c.description;
      const bool autoList = what.argument == ArgumentKind::AutoList;
      const std::string name = what.name;
      if (what.press == decltype(what.press){SessionCommand::Produce}) {
        if (!result_.job) error_ = Printf(messages::kCliNeedsOption, what.name, "--job");
      } else if (what.press == decltype(what.press){SessionCommand::ExplainFuses}) {
        if (!result_.chip)
          error_ = Printf(messages::kCliNeedsOption, what.name, "--chip");
        else if (!result_.fuses && !result_.lock)
          error_ = Printf(messages::kCliNeedsOption, what.name, "--fuses or --lock");
      } else if (!textsSet && !result_.fuses && (what.writesFuses || (autoList && c.boxes.writeFuses))) {
        error_ =
            Printf(messages::kCliNeedsOption, (autoList ? name + " with fuses" : name).c_str(), "--fuses") +
            messages::kCliNoDefaultText;
      } else if (!textsSet && !result_.lock && (what.writesLock || (autoList && c.boxes.writeLock))) {
        error_ =
            Printf(messages::kCliNeedsOption, (autoList ? name + " with lock" : name).c_str(), "--lock") +
            messages::kCliNoDefaultText;
      }
      textsSet = textsSet || what.setsTexts;
      if (!error_.empty()) return;
    }
  }

  const std::vector<std::string>& arguments_;
  std::size_t next_ = 0;
  Options result_;
  std::string error_;
  const OptionDescription* simOptionSeen_ = nullptr;  // the first, for the error without --simulate
};

}  // namespace

std::optional<control::AutoSelection> ParseAutoList(const std::string& list, std::string* badItem) {
  control::AutoSelection boxes;
  if (list == "none") return boxes;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = list.find(',', start);
    const std::string item =
        list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    bool known = false;
    for (const AutoBoxDescription& b : AutoBoxTable()) {
      if (item == b.name) {
        boxes.*(b.box) = true;
        known = true;
      }
    }
    if (!known) {
      if (badItem) *badItem = item;
      return std::nullopt;
    }
    if (comma == std::string::npos) return boxes;
    start = comma + 1;
  }
}

const char* ArgumentName(ArgumentKind kind) {
  switch (kind) {
    case ArgumentKind::File:
      return " FILE";
    case ArgumentKind::AutoList:
      return " LIST";
    case ArgumentKind::None:
      break;
  }
  return "";
}

ParseResult ParseCommandLine(const std::vector<std::string>& arguments) {
  return Parser(arguments).Run();
}

std::string HelpText() {
  std::string text = messages::kCliHelpUsage;
  std::string line = "  ";
  for (const OptionDescription& o : OptionTable()) {
    if (o.alias) line += std::string(o.alias) + ", ";
    line += o.name;
    if (o.argument) line += std::string(" ") + o.argument;
    if (o.joinNext) {
      line += o.joinNext;
      continue;
    }
    std::string help = o.help ? o.help : "";
    if (o.fallback) help += Printf(messages::kCliHelpDefault, o.fallback);
    text += help.empty() ? line + "\n" : HelpEntry(line, help, kOptionHelpColumn);
    line = "  ";
  }
  text += messages::kCliHelpCommands;
  const std::span<const CommandDescription> commands = CommandTable();
  for (const CommandDescription& c : commands) {
    const std::string usage = c.name + std::string(ArgumentName(c.argument));
    if (c.help) {
      std::string help = c.help;
      if (const std::size_t at = help.find(kBoxesMark); at != std::string::npos)
        help.replace(at, kBoxesMark.size(), AutoBoxNames());
      if (line.size() > 2) text += line + "\n";
      text +=
          HelpEntry("  " + usage, Wrapped(help, kCommandHelpColumn, kCommandHelpWidth), kCommandHelpColumn);
      line = "  ";
      continue;
    }
    line += (line.size() > 2 ? "  " : "") + usage;
    if (c.endsHelpLine || &c == &commands.back()) {
      text += line + "\n";
      line = "  ";
    }
  }
  return text;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace kestrel::cli
