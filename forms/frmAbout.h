// The about box: program title and version, the maker's contacts, and a button that starts
// the system information program when the registry names one.
#pragma once

#include <string>
#include <string_view>

#include "platform/desktop.h"
#include "platform/diagnostics.h"
#include "platform/form.h"
#include "platform/system.h"

namespace quorel::forms {

platform::FormDescription frmAboutLayout();

class frmAbout : public platform::FormHandlers {
 public:
  frmAbout(platform::Desktop& desktop, platform::System& system,
           platform::Diagnostics& diagnostics);

  void Load() override;
  void Click(std::u16string_view control) override;

  // Starts the system information program, or tells the user that there is none; why it could
  // not be started goes to the diagnostics.
  void StartSysInfo();

  // Reads a registry value into KeyVal: a string as text, a double word as "&h" followed by
  // hexadecimal digits; for other types KeyVal stays as passed. False (KeyVal empty) when the
  // key cannot be opened or the value cannot be read. Throws std::runtime_error when the
  // value is empty.
  bool GetKeyValue(platform::HKEY KeyRoot, std::u16string_view KeyName,
                   std::u16string_view SubKeyRef, std::u16string& KeyVal);

 private:
  // Steps of StartSysInfo that may fail; false when no program was found.
  bool TryStartSysInfo();

  platform::Desktop& desktop_;
  platform::System& system_;
  platform::Diagnostics& diagnostics_;
};

}  // namespace quorel::forms
