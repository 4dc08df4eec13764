// The language the user reads, as the operating system tells it.
#pragma once

#include "messages/messages.h"

namespace kvtram {

// On Unix the first of LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is set
// (msg::languageFromEnvironment); on Windows the user's UI language.
msg::Language userLanguage();

}  // namespace kvtram
