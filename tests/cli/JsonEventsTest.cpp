#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "cli/JsonEvents.h"

namespace kestrel::cli {
namespace {

// Each event of the table has its section in docs/JSON-EVENTS.md, and each of its fields a row
// of that section's table: a script's author reads the document, not the code.
TEST(JsonEvents, TheDocumentDescribesEveryEventAndFieldOfTheTable) {
  std::ifstream file(KESTREL_SOURCE_DIR "/docs/JSON-EVENTS.md");
  const std::string doc{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  for (const EventDescription& event : EventTable()) {
    const std::size_t begin = doc.find("### `" + std::string(event.name) + "`");
    ASSERT_NE(begin, std::string::npos) << event.name;
    const std::string section = doc.substr(begin, doc.find("\n### ", begin + 1) - begin);
    for (const char* field : event.fields)
      EXPECT_NE(section.find("| `" + std::string(field) + "` |"), std::string::npos)
          << event.name << "." << field;
  }
}

TEST(JsonEvents, AnEventWithFieldsTheTableLacksIsRefused) {
  std::FILE* sink = std::tmpfile();
  JsonEvents events(sink);
  EXPECT_THROW(events.Write(Event::Run, {"passed", nullptr}), std::logic_error);
  std::fclose(sink);
}

}  // namespace
}  // namespace kestrel::cli
