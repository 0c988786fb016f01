#include "session/connection.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>

#include "platform/text.h"

namespace quorel::cacheapi {

namespace {

constexpr int kAttempts = 3;

// The user sees only the server dialog between the attempts; the diagnostics say why each one
// failed, so that a missing database file can be told from a dead server.
void ReportFailedAttempt(Session& s, int attempt, bool connectSaidYes) {
  std::string reason = s.Factory->LastError();
  if (reason.empty())
    reason = connectSaidYes ? "gleich nach dem Aufbau war die Verbindung wieder getrennt"
                            : "der Client nennt keinen Grund";
  s.platform.diagnostics.Line(u"Verbindungsversuch " + text::FromUtf8(std::to_string(attempt)) +
                              u" von " + text::FromUtf8(std::to_string(kAttempts)) + u" mit " +
                              s.ConnectString + u" fehlgeschlagen: " + text::FromUtf8(reason));
}

platform::Form ServerDialog(Session& s) {
  return platform::Form(s.platform.desktop, std::u16string(kServerDialog));
}

}  // namespace

void OpenServer(Session& s, bool busy) {
  // The pointer stays busy until ReleaseServer, also through retries and the failure message.
  if (busy) s.platform.desktop.SetMousePointer(platform::vbHourglass);
  ConnectServer(s);
  ServerDialog(s).SetTimerEnabled(kIdleTimer, false);
}

void ReleaseServer(Session& s, bool busy) {
  if (busy) s.platform.desktop.SetMousePointer(platform::vbDefault);
  ServerDialog(s).SetTimerEnabled(kIdleTimer, true);
}

void ConnectServer(Session& s) {
  // The probe: a failure here only means "not connected".
  try {
    if (s.Factory && s.Factory->IsConnected()) return;
  } catch (const std::exception&) {  // NOLINT(bugprone-empty-catch)
  }
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    s.Factory = s.platform.server.Create();  // releases the previous object
    // The windows stay alive while the connect waits for the network.
    s.Factory->SetWhileWaiting([&s] { s.platform.desktop.DoEvents(); });
    const bool connected = s.Factory->Connect(s.ConnectString);
    const bool isConnected = s.Factory->IsConnected();
    if (connected && isConnected) return;
    ReportFailedAttempt(s, attempt, connected);
    if (attempt == kAttempts) break;
    // The dialog shows the settings; what the user changes there counts from the next start.
    s.platform.desktop.Show(kServerDialog, platform::ShowMode::Modal);
    Pause(s, 100);
  }
  constexpr std::u16string_view kGivenUp = u"Server nach 3 Versuchen nicht erreichbar!\r\nAbbruch";
  s.platform.diagnostics.Line(kGivenUp);
  s.platform.desktop.MsgBox(kGivenUp, platform::vbExclamation, kServerTitle);
  ServerDialog(s).Hide();
  s.Benutzer.clear();
  if (s.Factory->IsConnected()) s.Factory->Disconnect();
}

void DisconnectServer(Session& s) {
  ServerDialog(s).SetTimerEnabled(kIdleTimer, false);
  if (s.Factory && s.Factory->IsConnected()) s.Factory->Disconnect();
}

void Pause(Session& s, std::int16_t hundredths, double* elapsed) {
  using std::chrono::milliseconds;
  const double duration = hundredths / 100.0;
  const float start = s.platform.clock.SecondsSinceMidnight();
  for (;;) {
    const float t1 = s.platform.clock.SecondsSinceMidnight();
    const float t2 = s.platform.clock.SecondsSinceMidnight();
    // The second test ends the wait when the clock went back, which is the wrap at midnight.
    if (!(t1 < start + duration && t2 + 0.01 > start)) break;
    // Each pass waits for the next event, at most 10 ms and never past the end of the pause.
    const double left = start + duration - t1;
    const auto wait = std::clamp(milliseconds(static_cast<long>(std::ceil(left * 1000.0))),
                                 milliseconds(1), milliseconds(10));
    s.platform.desktop.DoEvents(wait);
  }
  if (elapsed) *elapsed = s.platform.clock.SecondsSinceMidnight() - start;
}

}  // namespace quorel::cacheapi
