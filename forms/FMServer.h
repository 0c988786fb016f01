// The server settings dialog: five fields locked until "Ändern" is confirmed, "Zurück" to return,
// and the idle timer that drops the server connection.
#pragma once

#include "platform/form.h"
#include "session/session.h"

namespace quorel::forms {

platform::FormDescription FMServerLayout();

class FMServer final : public platform::FormHandlers {
 public:
  explicit FMServer(cacheapi::Session& session) : session_(session) {}

  void Click(std::u16string_view control) override;
  void Timer(std::u16string_view timer) override;

 private:
  cacheapi::Session& session_;
};

}  // namespace quorel::forms
