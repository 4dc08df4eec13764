#include "io/user_language.h"

#include <windows.h>

namespace kvtram {

// The language of the user's Windows (its menus and dialogs), not the
// code page or the region's formats.
msg::Language userLanguage() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? msg::Language::Japanese
                                                                     : msg::Language::English;
}

}  // namespace kvtram
