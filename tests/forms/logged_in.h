// A program that has logged in from its command line and shows its main window.
#pragma once

#include "support/harness.h"

namespace quorel::testing {

struct LoggedIn : Harness {
  explicit LoggedIn(std::string registryPath = "/nonexistent/quorel/registry")
      : Harness(u"1 0 ABC pw", std::move(registryPath)) {
    AddUser(u"1||ABC", u"pw", u"J", u"Erika Muster");
  }
  static constexpr std::u16string_view kCaption =
      u"MIRLOX Quorel              Firma: 1     Filiale: 0     Benutzer: ABC | Erika Muster";
};

}  // namespace quorel::testing
