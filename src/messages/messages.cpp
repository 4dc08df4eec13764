#include "messages/messages.h"

#include <atomic>

namespace kvtram::msg {

namespace {

// Written once by the front end before any thread starts; atomic so that a
// late write could never tear a read.
std::atomic<Language>& languageSetting() {
  static std::atomic<Language> setting{Language::Japanese};
  return setting;
}

bool isSet(const char* value) { return value != nullptr && value[0] != '\0'; }

}  // namespace

Language language() { return languageSetting().load(std::memory_order_relaxed); }

void setLanguage(Language language) { languageSetting().store(language, std::memory_order_relaxed); }

Language languageFromEnvironment(const char* language, const char* lcAll, const char* lcMessages,
                                 const char* lang) {
  std::string_view chosen;
  // LANGUAGE is a list of languages separated by colons: its first one counts.
  if (isSet(language)) chosen = std::string_view(language).substr(0, std::string_view(language).find(':'));
  for (const char* value : {lcAll, lcMessages, lang}) {
    if (chosen.empty() && isSet(value)) chosen = value;
  }
  return chosen.substr(0, 2) == "ja" ? Language::Japanese : Language::English;
}

std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string result;
  result.reserve(pattern.size() + 32);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '{' && i + 2 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9' &&
        pattern[i + 2] == '}') {
      const std::size_t n = static_cast<std::size_t>(pattern[i + 1] - '1');
      if (n < values.size()) {
        result += values.begin()[n];
        i += 2;
        continue;
      }
    }
    result += c;
  }
  return result;
}

}  // namespace kvtram::msg
