// The tests compare texts with the program's own (Japanese) wording: they say
// so themselves instead of depending on the machine's locale.
#include <gtest/gtest.h>

#include "messages/messages.h"

namespace {

class JapaneseTexts : public ::testing::Environment {
 public:
  void SetUp() override { kvtram::msg::setLanguage(kvtram::msg::Language::Japanese); }
};

[[maybe_unused]] ::testing::Environment* const kJapaneseTexts =
    ::testing::AddGlobalTestEnvironment(new JapaneseTexts);

}  // namespace
