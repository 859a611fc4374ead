#include "workbench/messages.h"

#include <array>
#include <string_view>

#include "text/ansi.h"

namespace kestrel {

namespace {

// In the order of MessageText, in UTF-8. The blanks at the ends belong to the texts.
constexpr std::array<std::string_view, 15> kTexts = {
    "COMPILE OK",
    "Cancel",
    "ERROR #define  ",
    "ERROR Count #define > Limit ",
    "Ошибка - Дубликаты подстановок!",
    "Ошибка - Зацикленная подстановка!",
    "Ошибка номера строки!",
    "Ошибка - Дубликаты меток!",
    "Ошибка - есть неуказанные метки ",
    "Ошибка - Слишком длинная строка ",
    "Not saved: the source was read from this file: ",
    "The source pane has changes that are not saved. Save them first?",
    "The code page cannot hold these characters; they would be saved as \"?\". Save anyway?",
    "Definitions take effect at the next Open",
    "No such line in the output: ",
};

std::array<std::string, kTexts.size()> in_code_page() {
  std::array<std::string, kTexts.size()> texts;
  for (std::size_t i = 0; i < kTexts.size(); ++i) texts[i] = ansi::from_utf8(kTexts[i]);
  return texts;
}

}  // namespace

const std::string& message_text(MessageText which) {
  static const std::array<std::string, kTexts.size()> texts = in_code_page();
  return texts[static_cast<std::size_t>(which)];
}

}  // namespace kestrel
