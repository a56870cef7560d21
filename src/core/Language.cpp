#include "core/Language.h"

namespace orvel {

namespace {
Language g_language = Language::Polish;
}

Language CurrentLanguage::get() {
  return g_language;
}
void CurrentLanguage::set(Language language) {
  g_language = language;
}

}  // namespace orvel
