// The login dialog: user code and password, "Anmelden" stores all login settings (the password
// scrambled), "Abbruch" cancels, "Server" opens the server settings dialog.
#pragma once

#include "platform/form.h"
#include "session/session.h"

namespace quorel::forms {

platform::FormDescription FMPassLayout();

class FMPass final : public platform::FormHandlers {
 public:
  explicit FMPass(cacheapi::Session& session) : session_(session) {}

  void Activate() override;
  void GotFocus() override;
  void LostFocus(std::u16string_view control) override;
  void Click(std::u16string_view control) override;

 private:
  void Store();
  cacheapi::Session& session_;
};

}  // namespace quorel::forms
