#include "base/Translate.h"

#include <libintl.h>

#include "base/Language.h"

namespace kestrel {

const char* Message::c_str() const {
  return Translate(id_);
}

const char* Translate(const char* id) {
  return ChosenLanguage().empty() ? id : dgettext(kTextDomain, id);
}

}  // namespace kestrel
