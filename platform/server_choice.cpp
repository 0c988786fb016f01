#include "platform/server_choice.h"

#include "platform/text.h"

namespace quorel::platform {

namespace {

// A setting that names no client: every attempt to create one reports why.
class RefusingFactory final : public ServerClientFactory {
 public:
  explicit RefusingFactory(std::string message) : message_(std::move(message)) {}
  std::unique_ptr<ServerClient> Create() override { throw ServerError(message_); }

 private:
  std::string message_;
};

// Whether the choice takes a set, non-empty setting; rest gets what follows its prefix.
bool Takes(const ServerChoice& choice, std::string_view setting, std::string_view& rest) {
  if (choice.value.empty()) return false;
  if (choice.parameter.empty()) return setting == choice.value;
  if (!setting.starts_with(choice.value) || setting.size() == choice.value.size()) return false;
  rest = setting.substr(choice.value.size());
  return true;
}

// "sqlite:PFAD", "nicht gesetzt", "sqlite oder nicht gesetzt".
std::u16string Label(const ServerChoice& choice) {
  std::u16string label = text::FromUtf8(choice.value) + std::u16string(choice.parameter);
  if (choice.byDefault) label += label.empty() ? u"nicht gesetzt" : u" oder nicht gesetzt";
  return label;
}

std::string InvalidSetting(std::span<const ServerChoice> choices, std::string_view setting) {
  std::u16string message = u"Die Umgebungsvariable MIRLOX_SERVER hat den ungültigen Wert »" +
                           text::FromUtf8(setting) + u"«.";
  if (!choices.empty()) message += choices.size() == 1 ? u" Erlaubt ist: " : u" Erlaubt sind: ";
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (i > 0) message += i + 1 == choices.size() ? u" und " : u", ";
    message += Label(choices[i]) + u" (" + choices[i].description + u")";
  }
  if (!choices.empty()) message += u".";
  return text::ToUtf8(message);
}

}  // namespace

std::unique_ptr<ServerClientFactory> ChooseServer(std::span<const ServerChoice> choices,
                                                  std::optional<std::string_view> setting) {
  const bool unset = !setting || setting->empty();
  try {
    for (const ServerChoice& choice : choices) {
      std::string_view rest;
      if (unset ? choice.byDefault : Takes(choice, *setting, rest)) return choice.make(rest);
    }
  } catch (const ServerError& error) {
    return std::make_unique<RefusingFactory>(error.what());
  }
  return std::make_unique<RefusingFactory>(InvalidSetting(choices, setting.value_or("")));
}

}  // namespace quorel::platform
