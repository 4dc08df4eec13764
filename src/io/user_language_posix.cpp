#include "io/user_language.h"

#include <cstdlib>

namespace kvtram {

msg::Language userLanguage() {
  return msg::languageFromEnvironment(std::getenv("LANGUAGE"), std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                                      std::getenv("LANG"));
}

}  // namespace kvtram
