// The client object's stand-in through the shared server-client suites, and the program's
// outcomes with it: three failed attempts, the idle release, a client that is not installed.
#include "standin_engine.h"
#include "tests/platform/sql/engine_suites.h"

namespace quorel::sql::testing {

using win32::testing::StandinEngine;

INSTANTIATE_TYPED_TEST_SUITE_P(ComClient, Client, StandinEngine);
INSTANTIATE_TYPED_TEST_SUITE_P(ComLogin, Login, StandinEngine);

namespace {

TEST(ComProgram, NoServerOnThePortEndsTheProgramAfterThreeAttempts) {
  StandinEngine engine;
  ExpectThreeFailedAttempts(engine.Factory(),
                            u"1 0 ABC pw 127.0.0.1 " + win32::testing::ClosedPort(),
                            "fehlgeschlagen: der Client nennt keinen Grund");
}

TEST(ComProgram, ThirtySecondsAfterTheLoginTheServerSeesTheConnectionEnd) {
  StandinEngine engine;
  Harness h(u"1 0 ABC pw 127.0.0.1 " + engine.Port(), "/nonexistent/quorel/registry",
            &engine.Factory());
  h.screen.Check("logged in", [&] { EXPECT_TRUE(engine.listener.WaitOpenConnections(1)); });
  h.screen.Wait(std::chrono::milliseconds(29999));
  h.screen.Check("just before the tick", [&] { EXPECT_TRUE(h.session().Factory->IsConnected()); });
  h.screen.Wait(std::chrono::milliseconds(1));
  h.screen.Check("after the tick", [&] {
    EXPECT_TRUE(engine.listener.WaitOpenConnections(0));
    EXPECT_FALSE(h.session().Factory->IsConnected());
  });
  h.screen.CloseBox(u"FMStart");
  EXPECT_EQ(h.Run(), forms::kExitNormal) << h.Dump();
}

TEST(ComProgram, WithoutTheClientObjectTheUserIsToldTheClientIsNotInstalled) {
  StandinEngine engine;
  win32::ComServerClientFactory missing(u"Quorel.Nirgends.Factory");
  Harness h(u"1 0 ABC pw 127.0.0.1 " + engine.Port(), "/nonexistent/quorel/registry", &missing);
  h.screen.Answer(platform::vbOK);
  EXPECT_EQ(h.Run(), forms::kExitFailure) << h.Dump();
  const auto boxes = h.Log("msgbox");
  ASSERT_EQ(boxes.size(), 1u) << h.Dump();
  EXPECT_NE(boxes[0].find("style=16"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("Der Datenbank-Client ist nicht installiert"), std::string::npos)
      << boxes[0];
  EXPECT_NE(boxes[0].find("„Quorel.Nirgends.Factory“"), std::string::npos) << boxes[0];
}

}  // namespace
}  // namespace quorel::sql::testing
