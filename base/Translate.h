#pragma once

#include <string>

namespace kestrel {

// A text of the program's own. The program's texts are Chinese, exactly as scripts and the
// tests know them; a message catalogue (po/LANG.po) gives them in another language. The text
// is looked up each time it is used, so a text defined before the language was chosen still
// follows the choice. Msg() marks a text for xgettext.
class Message {
 public:
  explicit constexpr Message(const char* id) : id_(id) {}
  const char* c_str() const;  // in the chosen language
  operator const char*() const { return c_str(); }
  operator std::string() const { return c_str(); }
  constexpr const char* id() const { return id_; }  // as written in the source

 private:
  const char* id_;
};

constexpr Message Msg(const char* id) {
  return Message(id);
}

// `id` in the chosen language; `id` itself while the program's own texts are chosen.
const char* Translate(const char* id);

}  // namespace kestrel
