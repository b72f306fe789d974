// Prints kestrel-cli's bash or zsh completion, laid out from the command line's own tables
// and the chip catalogue, so that a command or option added to the tables is completed
// without this file changing. Run at build time and not installed.
// Usage: kestrel-completion bash|zsh CATALOGUE LANGUAGE...
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "chips/ChipCatalogue.h"
#include "cli/CommandLine.h"

namespace {

using kestrel::cli::ArgumentKind;
using kestrel::cli::OptionDescription;

// What the value of an option, or the argument of a command, is completed from.
enum class Values { Nothing, Files, Folders, Modes, Formats, Chips, ChipList, Languages, AutoBoxes };

// Options whose values the tables name only in prose are picked by name; the rest by the
// argument shown in --help.
Values ValuesOf(const OptionDescription& option) {
  const std::string_view name = option.name;
  const std::string_view argument = option.argument ? option.argument : "";
  if (argument.empty()) return Values::Nothing;
  if (name == "--mode") return Values::Modes;
  if (name == "--output") return Values::Formats;
  if (name == "--chip") return Values::Chips;
  if (name == "--sim-socket") return Values::ChipList;  // comma-separated chip names
  if (name == "--lang") return Values::Languages;
  if (argument.starts_with("FILE")) return Values::Files;  // also FILE|URI
  if (argument == "DIR") return Values::Folders;
  return Values::Nothing;
}

Values ValuesOf(ArgumentKind kind) {
  switch (kind) {
    case ArgumentKind::File:
      return Values::Files;
    case ArgumentKind::AutoList:
      return Values::AutoBoxes;
    case ArgumentKind::None:
      break;
  }
  return Values::Nothing;
}

// A completion list's one-line description: the help up to its first "; " outside
// parentheses, on one line.
std::string Description(std::string_view help) {
  std::string text;
  int depth = 0;
  for (char c : help) {
    if (c == '\n') c = ' ';
    if (depth == 0 && c == ' ' && text.ends_with(';')) {
      text.pop_back();
      break;
    }
    depth += c == '(' ? 1 : c == ')' ? -1 : 0;
    text += c;
  }
  while (!text.empty() && (text.back() == ',' || text.back() == ' ')) text.pop_back();
  return text;
}

// An option without help of its own shares the --help line, and the help, of the options after it.
std::string OptionDescriptionText(const OptionDescription& option) {
  const std::span<const OptionDescription> options = kestrel::cli::OptionTable();
  for (const OptionDescription* o = &option; o != options.data() + options.size(); ++o) {
    if (o->help)
      return Description(o->help) + (o->fallback ? " (default " + std::string(o->fallback) + ")" : "");
    if (!o->joinNext) break;
  }
  return "";
}

std::string CommandDescriptionText(const kestrel::cli::CommandDescription& command) {
  if (!command.help) return "";
  std::string help = command.help;
  constexpr std::string_view kBoxesMark = "{boxes}";
  if (const std::size_t at = help.find(kBoxesMark); at != std::string::npos) {
    std::string boxes;
    for (const auto& b : kestrel::cli::AutoBoxTable())
      boxes += (boxes.empty() ? "" : ", ") + std::string(b.name);
    help.replace(at, kBoxesMark.size(), boxes);
  }
  return Description(help);
}

// The shell array that completes a kind of value given from a list.
const char* ListOf(Values values) {
  switch (values) {
    case Values::Modes:
      return "modes";
    case Values::Formats:
      return "formats";
    case Values::Chips:
    case Values::ChipList:
      return "chips";
    case Values::Languages:
      return "languages";
    case Values::AutoBoxes:
      return "boxes";
    default:
      return "";
  }
}

// `text` as one single-quoted shell word.
std::string Quoted(std::string_view text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string Words(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& w : words) line += (line.empty() ? "" : " ") + Quoted(w);
  return line;
}

struct Lists {
  std::vector<std::string> chips, modes, formats, languages, boxes;
};

// The names each kind of value is completed from, as shell array assignments.
std::string ListAssignments(const Lists& lists, const char* prefix) {
  return std::string(prefix) + "chips=(" + Words(lists.chips) + ")\n" + prefix + "modes=(" +
         Words(lists.modes) + ")\n" + prefix + "formats=(" + Words(lists.formats) + ")\n" + prefix +
         "languages=(" + Words(lists.languages) + ")\n" + prefix + "boxes=(" + Words(lists.boxes) + ")\n";
}

// The options that take a value, or the commands that take an argument, grouped by what
// completes it, as "--catalogue|--facts" patterns.
std::vector<std::pair<Values, std::string>> ValueWords(bool options, bool commands) {
  std::vector<std::pair<Values, std::string>> groups;
  const auto add = [&groups](Values values, std::string_view word) {
    for (auto& [v, pattern] : groups) {
      if (v == values) {
        pattern += "|" + std::string(word);
        return;
      }
    }
    groups.emplace_back(values, std::string(word));
  };
  for (const OptionDescription& o : kestrel::cli::OptionTable()) {
    if (options && o.argument) add(ValuesOf(o), o.name);
  }
  for (const auto& c : kestrel::cli::CommandTable()) {
    if (commands && c.argument != ArgumentKind::None) add(ValuesOf(c.argument), c.name);
  }
  return groups;
}

std::string BashScript(const Lists& lists) {
  std::string script =
      "# bash completion for kestrel-cli, generated from its command and option tables.\n"
      "_kestrel_cli_offer() {  # prefix current-text word...: the words that start with current-text\n"
      "  local prefix=$1 cur=$2 word\n"
      "  shift 2\n"
      "  for word; do [[ $word == \"$cur\"* ]] && COMPREPLY+=(\"$prefix$word\"); done\n"
      "}\n"
      "_kestrel_cli() {\n"
      "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} item\n"
      "  # --name=value: bash breaks the word at \"=\".\n"
      "  if [[ $cur == = ]]; then\n"
      "    cur=\n"
      "  elif [[ $prev == = ]]; then\n"
      "    prev=${COMP_WORDS[COMP_CWORD-2]}\n"
      "  fi\n"
      "  COMPREPLY=()\n";
  script += ListAssignments(lists, "  local -a ");
  script += "  case $prev in\n";
  for (const auto& [values, pattern] : ValueWords(true, true)) {
    script += "    " + pattern + ")\n";
    if (values == Values::Files || values == Values::Folders) {
      script +=
          std::string("      compopt -o filenames 2>/dev/null\n      mapfile -t COMPREPLY < <(compgen ") +
          (values == Values::Files ? "-f" : "-d") + " -- \"$cur\")\n";
    } else if (values == Values::ChipList || values == Values::AutoBoxes) {
      // A comma-separated list: the item after the last comma.
      script += "      item=${cur##*,}\n      _kestrel_cli_offer \"${cur%\"$item\"}\" \"$item\" \"${" +
                std::string(ListOf(values)) + "[@]}\"\n";
    } else if (values != Values::Nothing) {
      script += "      _kestrel_cli_offer '' \"$cur\" \"${" + std::string(ListOf(values)) + "[@]}\"\n";
    }
    script += "      return ;;\n";
  }
  script += "  esac\n  if [[ $cur == -* ]]; then\n    _kestrel_cli_offer '' \"$cur\"";
  for (const OptionDescription& o : kestrel::cli::OptionTable()) {
    script += std::string(" ") + o.name;
    if (o.alias) script += std::string(" ") + o.alias;
  }
  script += "\n  else\n    _kestrel_cli_offer '' \"$cur\"";
  for (const auto& c : kestrel::cli::CommandTable()) script += std::string(" ") + c.name;
  script += "\n  fi\n}\ncomplete -F _kestrel_cli kestrel-cli\n";
  return script;
}

// `text` with the characters that _arguments reads in `special` quoted by a backslash.
std::string Escaped(std::string_view text, std::string_view special) {
  std::string escaped;
  for (char c : text) {
    if (special.find(c) != std::string_view::npos) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string ZshAction(Values values) {
  switch (values) {
    case Values::Files:
      return "_files";
    case Values::Folders:
      return "_files -/";
    case Values::ChipList:
    case Values::AutoBoxes:
      return "{_sequence compadd - $" + std::string(ListOf(values)) + "}";
    case Values::Modes:
    case Values::Formats:
    case Values::Chips:
    case Values::Languages:
      return "{compadd -a " + std::string(ListOf(values)) + "}";
    case Values::Nothing:
      break;
  }
  return " ";  // a message, no completion
}

std::string ZshScript(const Lists& lists) {
  std::string script =
      "#compdef kestrel-cli\n"
      "# zsh completion for kestrel-cli, generated from its command and option tables.\n"
      "local curcontext=$curcontext state line ret=1\n"
      "local -A opt_args\n";
  script += ListAssignments(lists, "local -a ");
  script += "local -a commands=(";
  for (const auto& c : kestrel::cli::CommandTable()) {
    const std::string text = CommandDescriptionText(c);
    script += "\n  " + Quoted(std::string(c.name) + (text.empty() ? "" : ":" + text));
  }
  script += "\n)\n_arguments -S";
  for (const OptionDescription& o : kestrel::cli::OptionTable()) {
    const std::string help = OptionDescriptionText(o);
    const std::string text = help.empty() ? "" : "[" + Escaped(help, "[]\\") + "]";
    std::string value;
    if (o.argument) value = ":" + Escaped(o.argument, ":\\") + ":" + ZshAction(ValuesOf(o));
    script += " \\\n  " + Quoted(std::string(o.name) + (o.argument ? "=" : "") + text + value);
    if (o.alias) script += " \\\n  " + Quoted(std::string(o.alias) + text);
  }
  script +=
      " \\\n  '*: :->words' && ret=0\n"
      "if [[ $state == words ]]; then\n"
      "  case $words[CURRENT-1] in\n";
  for (const auto& [values, pattern] : ValueWords(false, true)) {
    script += "    (" + pattern + ") ";
    const std::string action = ZshAction(values);
    script += (action.front() == '{' ? action.substr(1, action.size() - 2) : action) + " && ret=0 ;;\n";
  }
  script +=
      "    (*) _describe -t commands command commands && ret=0 ;;\n"
      "  esac\n"
      "fi\n"
      "return ret\n";
  return script;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view shell = argc > 2 ? argv[1] : "";
  if (shell != "bash" && shell != "zsh") {
    std::fputs("usage: kestrel-completion bash|zsh CATALOGUE LANGUAGE...\n", stderr);
    return 2;
  }
  kestrel::chips::ChipCatalogue catalogue;
  if (!kestrel::chips::LoadChipCatalogue({argv[2]}, catalogue).loaded) {
    std::fprintf(stderr, "kestrel-completion: cannot read the catalogue %s\n", argv[2]);
    return 1;
  }
  Lists lists;
  for (const kestrel::chips::Chip& chip : catalogue.chips) lists.chips.push_back(chip.displayName);
  for (const kestrel::cli::ModeName& m : kestrel::cli::ModeTable()) lists.modes.emplace_back(m.name);
  for (const char* format : kestrel::cli::OutputFormatTable()) lists.formats.emplace_back(format);
  for (int i = 3; i < argc; ++i) lists.languages.emplace_back(argv[i]);
  for (const auto& b : kestrel::cli::AutoBoxTable()) lists.boxes.emplace_back(b.name);
  lists.boxes.emplace_back("none");
  const std::string script = shell == "bash" ? BashScript(lists) : ZshScript(lists);
  return std::fputs(script.c_str(), stdout) < 0 ? 1 : 0;
}
