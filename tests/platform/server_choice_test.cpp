#include "platform/server_choice.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorel::platform {
namespace {

// Stands for the client a choice gives: which choice, and the rest it was given.
class Chosen final : public ServerClientFactory {
 public:
  explicit Chosen(std::string what) : what(std::move(what)) {}
  std::unique_ptr<ServerClient> Create() override { return nullptr; }
  std::string what;
};

ServerChoice Choice(std::string_view value, std::u16string_view parameter, bool byDefault) {
  return {value, parameter, u"das " + std::u16string(value.begin(), value.end()), byDefault,
          [value](std::string_view rest) {
            return std::make_unique<Chosen>(std::string(value) + "|" + std::string(rest));
          }};
}

// What the setting gives: "value|rest" of the choice, else the message its Create() throws.
std::string Outcome(std::span<const ServerChoice> choices,
                    std::optional<std::string_view> setting) {
  auto factory = ChooseServer(choices, setting);
  if (auto* chosen = dynamic_cast<Chosen*>(factory.get())) return chosen->what;
  try {
    factory->Create();
    return "a client without a choice";
  } catch (const ServerError& error) {
    return error.what();
  }
}

const std::string kInvalid = "Die Umgebungsvariable MIRLOX_SERVER hat den ungültigen Wert »";

TEST(ServerChoice, TheFirstChoiceThatTakesTheSettingGivesTheFactory) {
  const std::vector<ServerChoice> choices = {
      Choice("eins", u"", true), Choice("eins:", u"X", false), Choice("zwei", u"", false)};
  const std::string accepted =
      "«. Erlaubt sind: eins oder nicht gesetzt (das eins), eins:X (das eins:) und zwei (das "
      "zwei).";
  const std::vector<std::pair<std::optional<std::string>, std::string>> cases = {
      {std::nullopt, "eins|"},
      {"", "eins|"},
      {"eins", "eins|"},
      {"eins:a b", "eins:|a b"},
      {"eins:eins:", "eins:|eins:"},
      {"zwei", "zwei|"},
      {"eins:", kInvalid + "eins:" + accepted},
      {"Zwei", kInvalid + "Zwei" + accepted},
      {"zwei ", kInvalid + "zwei " + accepted},
      {"drei\xFF", kInvalid + "drei\uFFFD" + accepted},
  };
  for (const auto& [setting, outcome] : cases) {
    SCOPED_TRACE(setting.value_or("(unset)"));
    EXPECT_EQ(Outcome(choices, setting), outcome);
  }
}

TEST(ServerChoice, OneChoiceNoDefaultAndAFactoryThatCannotBeMade) {
  const ServerChoice only[] = {Choice("", u"", true)};
  EXPECT_EQ(Outcome(only, "x"), kInvalid + "x«. Erlaubt ist: nicht gesetzt (das ).");
  const ServerChoice noDefault[] = {Choice("a", u"", false), Choice("b:", u"B", false)};
  EXPECT_EQ(Outcome(noDefault, std::nullopt),
            kInvalid + "«. Erlaubt sind: a (das a) und b:B (das b:).");
  const ServerChoice failing[] = {
      {"x", u"", u"", false, [](std::string_view) -> std::unique_ptr<ServerClientFactory> {
         throw ServerError("kein Ort");
       }}};
  EXPECT_EQ(Outcome(failing, "x"), "kein Ort");
}

}  // namespace
}  // namespace quorel::platform
