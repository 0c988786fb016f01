// The main window: runs the login while it loads, then shows company, branch and user in its
// caption; its menu opens the login dialog and the about box and ends the program.
#pragma once

#include "platform/form.h"
#include "session/session.h"

namespace quorel::forms {

platform::FormDescription FMStartLayout();

class FMStart final : public platform::FormHandlers {
 public:
  explicit FMStart(cacheapi::Session& session) : session_(session) {}

  void Load() override;
  void Unload() override;
  void Menu(std::u16string_view item) override;

 private:
  cacheapi::Session& session_;
  int exitStatus_ = 0;
};

}  // namespace quorel::forms
