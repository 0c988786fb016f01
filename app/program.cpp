#include "app/program.h"

#include "forms/exit_status.h"
#include "platform/text.h"

namespace quorel::app {

Program::Program(cacheapi::Platform& platform)
    : platform_(platform),
      session_(platform),
      start_(session_),
      pass_(session_),
      server_(session_),
      about_(platform.desktop, platform.system, platform.diagnostics) {
  platform.desktop.Register(forms::FMStartLayout(), start_);
  platform.desktop.Register(forms::FMPassLayout(), pass_);
  platform.desktop.Register(forms::FMServerLayout(), server_);
  platform.desktop.Register(forms::frmAboutLayout(), about_);
}

int Program::Run() {
  platform::Desktop& desktop = platform_.desktop;
  try {
    desktop.Show(u"FMStart");
    desktop.Run();
  } catch (const platform::ProgramEnd& end) {
    return end.status;
  } catch (const platform::NotConnectedError&) {
    // The user has just been told that the server cannot be reached.
    desktop.CloseAll();
    return forms::kExitNoConnection;
  } catch (const std::exception& error) {
    desktop.CloseAll();
    const std::u16string message =
        u"Quorel wird wegen eines unerwarteten Fehlers beendet:\r\n" + text::FromUtf8(error.what());
    platform_.diagnostics.Line(message);
    desktop.MsgBox(message, platform::vbCritical);
    return forms::kExitFailure;
  }
  return forms::kExitNormal;  // the event loop is left only by the end of the program
}

}  // namespace quorel::app
