// Which language the environment and --lang choose.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "base/Language.h"

namespace kestrel {
namespace {

TEST(ChooseLanguage, FirstSetVariableWinsAndChineseOrCKeepTheProgramsOwnTexts) {
  using Environment = std::map<std::string, std::string>;
  // Catalogues exist for English and German, and at any path someone made one.
  const auto hasCatalogue = [](const std::string& name) {
    return name == "en" || name == "de" || name.find('/') != std::string::npos;
  };
  const std::tuple<std::optional<std::string>, Environment, std::string> cases[] = {
      {{}, {}, ""},
      {{}, {{"LANG", "C"}}, ""},
      {{}, {{"LANG", "POSIX"}}, ""},
      {{}, {{"LANG", "C.UTF-8"}}, ""},
      {{}, {{"LANG", "zh_CN.UTF-8"}}, ""},
      {{}, {{"LANG", "en_US.UTF-8"}}, "en"},
      {{}, {{"LANG", "fr_FR.UTF-8"}}, "en"},  // no French catalogue: English
      {{}, {{"LANG", "de_AT.UTF-8@euro"}}, "de"},
      {{}, {{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "zh_TW.UTF-8"}}, ""},
      {{}, {{"LC_MESSAGES", "zh_TW.UTF-8"}, {"LC_ALL", "en_GB.UTF-8"}}, "en"},
      {{}, {{"LANG", "C"}, {"LANGUAGE", "en"}}, "en"},
      {{}, {{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "fr:zh_CN:de"}}, ""},  // zh listed before de
      {{}, {{"LANG", "zh_CN.UTF-8"}, {"LANGUAGE", ":fr:de"}}, "de"},
      {{}, {{"LANG", "en_US.UTF-8"}, {"LC_ALL", ""}}, "en"},  // set but empty counts as unset
      {{}, {{"LANGUAGE", "../../tmp/de:en"}}, "en"},          // never a path
      {{}, {{"LANG", "en_GB.UTF-8"}, {"LANGUAGE", ":"}}, "en"},
      {"zh", {{"LANG", "en_US.UTF-8"}}, ""},
      {"ZH", {{"LANG", "en_US.UTF-8"}}, ""},
      {"en", {{"LANG", "C"}}, "en"},
  };
  for (const auto& [override, environment, expected] : cases) {
    const auto lookup = [&environment](const char* name) -> const char* {
      const auto found = environment.find(name);
      return found == environment.end() ? nullptr : found->second.c_str();
    };
    EXPECT_EQ(ChooseLanguage(override, lookup, hasCatalogue), expected)
        << override.value_or("-") << " " << ::testing::PrintToString(environment);
  }
}

}  // namespace
}  // namespace kestrel
