// One run of the program on a given platform: the session, the four forms, the start-up
// sequence and the exit status.
#pragma once

#include "forms/FMPass.h"
#include "forms/FMServer.h"
#include "forms/FMStart.h"
#include "forms/frmAbout.h"
#include "session/session.h"

namespace quorel::app {

class Program {
 public:
  explicit Program(cacheapi::Platform& platform);

  // Creates the main window (whose load runs the login), shows it and runs the event loop
  // until the program ends. Returns the exit status.
  int Run();

  cacheapi::Session& session() { return session_; }

 private:
  cacheapi::Platform& platform_;
  cacheapi::Session session_;
  forms::FMStart start_;
  forms::FMPass pass_;
  forms::FMServer server_;
  forms::frmAbout about_;
};

}  // namespace quorel::app
