#include "x11_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace quorel::x11 {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + (errno ? std::string(": ") + std::strerror(errno) : ""));
}

std::uint32_t InternAtom(xcb_connection_t* connection, const char* name) {
  auto* reply = xcb_intern_atom_reply(
      connection,
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const std::uint32_t atom = reply ? reply->atom : 0;
  std::free(reply);
  return atom;
}

using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)>;

PropertyReply GetProperty(xcb_connection_t* connection, std::uint32_t window,
                          std::uint32_t property, std::uint32_t type, std::uint32_t length) {
  return {
      xcb_get_property_reply(
          connection, xcb_get_property(connection, 0, window, property, type, 0, length), nullptr),
      &std::free};
}

// The values of a property of 32-bit values (windows, atoms).
std::vector<std::uint32_t> Cardinals(xcb_connection_t* connection, std::uint32_t window,
                                     std::uint32_t property, std::uint32_t type) {
  const auto reply = GetProperty(connection, window, property, type, 1024);
  if (!reply || reply->format != 32) return {};
  const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  return {data, data + xcb_get_property_value_length(reply.get()) / 4};
}

// A client message about window of the given type, its first value data (the time, where the
// type has one, is XCB_CURRENT_TIME: zero), sent to destination for the clients of mask.
void SendClientMessage(xcb_connection_t* connection, std::uint32_t window, std::uint32_t type,
                       std::uint32_t data, std::uint32_t destination, std::uint32_t mask) {
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = type;
  message.data.data32[0] = data;
  xcb_send_event(connection, 0, destination, mask, reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
}

// The next event, or nullptr once the time is over.
xcb_generic_event_t* NextEvent(xcb_connection_t* connection, Clock::time_point end) {
  for (;;) {
    if (auto* event = xcb_poll_for_event(connection)) return event;
    if (xcb_connection_has_error(connection)) throw std::runtime_error("X connection lost");
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
    if (left <= 0) return nullptr;
    pollfd p{xcb_get_file_descriptor(connection), POLLIN, 0};
    poll(&p, 1, static_cast<int>(left));
  }
}

}  // namespace

Process::Process(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& env, int stdoutFd) {
  // env, then what this process has and env does not set.
  std::vector<std::string> envStrings;
  for (const auto& [k, v] : env)
    envStrings.push_back(k + "=" + v);
  for (char** e = environ; *e; ++e)
    if (!env.contains(std::string(*e, std::strcspn(*e, "=")))) envStrings.emplace_back(*e);
  std::vector<char*> envp, args;
  for (auto& s : envStrings)
    envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argCopy = argv;
  for (auto& s : argCopy)
    args.push_back(s.data());
  args.push_back(nullptr);

  pid_ = fork();
  if (pid_ < 0) Fail("fork");
  if (pid_ == 0) {
    if (stdoutFd >= 0) {
      dup2(stdoutFd, STDOUT_FILENO);
      const int devnull = open("/dev/null", O_WRONLY);
      if (devnull >= 0) dup2(devnull, STDERR_FILENO);
    }
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
}

Process::~Process() {
  if (ended_ || pid_ <= 0) return;
  kill(pid_, SIGTERM);
  if (!Wait(milliseconds(2000))) {
    kill(pid_, SIGKILL);
    Wait(milliseconds(2000));
  }
}

std::optional<int> Process::Wait(milliseconds timeout, rusage* usage) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    rusage use{};
    const pid_t r = wait4(pid_, &status, WNOHANG, &use);
    if (r == pid_) {
      ended_ = true;
      if (usage) *usage = use;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (r < 0 && errno != EINTR) Fail("wait4");
    if (Clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(milliseconds(2));
  }
}

double Process::CpuSeconds() const {
  std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
  std::string line;
  std::getline(stat, line);
  // Fields after the parenthesised command name; utime and stime are the 14th and 15th.
  const auto close = line.rfind(')');
  if (close == std::string::npos) return 0.0;
  std::istringstream rest(line.substr(close + 2));
  std::string field;
  for (int i = 3; i < 14; ++i)
    rest >> field;
  unsigned long long utime = 0, stime = 0;
  rest >> utime >> stime;
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

Xvfb::Xvfb() {
  int fds[2];
  if (pipe(fds) != 0) Fail("pipe");
  const char* xvfb = "/usr/bin/Xvfb";
  server_ =
      std::make_unique<Process>(std::vector<std::string>{xvfb, "-displayfd", "1", "-screen", "0",
                                                         "1280x1024x24", "-nolisten", "tcp"},
                                std::map<std::string, std::string>{}, fds[1]);
  close(fds[1]);
  // Xvfb writes its display number, in one line, once it accepts connections.
  std::string number(32, '\0');
  pollfd p{fds[0], POLLIN, 0};
  const ssize_t n = poll(&p, 1, 15000) > 0 ? read(fds[0], number.data(), number.size()) : 0;
  close(fds[0]);
  number.resize(static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
  number.erase(number.find_last_not_of("\r\n") + 1);
  if (number.empty()) throw std::runtime_error("Xvfb did not start (is the package xvfb there?)");
  display_ = ":" + number;
}

WindowManager::WindowManager(const std::string& display) {
  const int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  manager_ =
      std::make_unique<Process>(std::vector<std::string>{"/usr/bin/openbox", "--sm-disable"},
                                std::map<std::string, std::string>{{"DISPLAY", display}}, devnull);
  if (devnull >= 0) close(devnull);
  // It manages once it has named itself on the root window.
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  if (xcb_connection_has_error(connection)) throw std::runtime_error("no X display " + display);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  const std::uint32_t check = InternAtom(connection, "_NET_SUPPORTING_WM_CHECK");
  const auto end = Clock::now() + milliseconds(15000);
  bool managing = false;
  while (!managing && Clock::now() < end) {
    managing = !Cardinals(connection, root, check, XCB_ATOM_WINDOW).empty();
    if (!managing) std::this_thread::sleep_for(milliseconds(20));
  }
  xcb_disconnect(connection);
  if (!managing) throw std::runtime_error("openbox did not start (is the package openbox there?)");
}

Screen::Screen(const std::string& display) {
  int screenNumber = 0;
  connection_ = xcb_connect(display.c_str(), &screenNumber);
  if (xcb_connection_has_error(connection_)) throw std::runtime_error("no X display " + display);
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
  for (int i = 0; i < screenNumber; ++i)
    xcb_screen_next(&it);
  root_ = it.data->root;
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(connection_);
}

Screen::~Screen() {
  xcb_disconnect(connection_);
}

void Screen::Select(Window window) {
  const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &mask);
}

std::uint32_t Screen::Atom(const char* name) {
  return InternAtom(connection_, name);
}

std::string Screen::Title(Window window) {
  for (auto [property, type] :
       {std::pair{Atom("_NET_WM_NAME"), Atom("UTF8_STRING")},
        std::pair{std::uint32_t{XCB_ATOM_WM_NAME}, std::uint32_t{XCB_GET_PROPERTY_TYPE_ANY}}}) {
    const auto reply = GetProperty(connection_, window, property, type, 4096);
    if (const int length = reply ? xcb_get_property_value_length(reply.get()) : 0; length > 0)
      return {static_cast<const char*>(xcb_get_property_value(reply.get())),
              static_cast<std::size_t>(length)};
  }
  return {};
}

Screen::Window Screen::WaitForWindow(const std::function<bool(const std::string&)>& title,
                                     milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    for (auto it = mapped_.begin(); it != mapped_.end(); ++it) {
      if (title(Title(*it))) return *it;
    }
    xcb_generic_event_t* event = NextEvent(connection_, end);
    if (!event) return 0;
    switch (event->response_type & 0x7f) {
      case XCB_MAP_NOTIFY: {
        const Window w = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
        if (std::find(mapped_.begin(), mapped_.end(), w) == mapped_.end()) mapped_.push_back(w);
        Select(w);
        xcb_flush(connection_);
        break;
      }
      case XCB_UNMAP_NOTIFY:
        std::erase(mapped_, reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window);
        break;
      case XCB_DESTROY_NOTIFY:
        std::erase(mapped_, reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window);
        break;
      default:
        break;  // a title change: looked at on the next pass
    }
    std::free(event);
  }
}

void Screen::Close(Window window) {
  SendClientMessage(connection_, window, Atom("WM_PROTOCOLS"), Atom("WM_DELETE_WINDOW"), window,
                    XCB_EVENT_MASK_NO_EVENT);
  std::erase(mapped_, window);  // it goes; a later map of it counts as new
}

Screen::Window Screen::WaitForClient(const std::function<bool(const std::string&)>& title,
                                     milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  do {
    for (const Window w : Cardinals(connection_, root_, Atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW))
      if (title(Title(w))) return w;
    std::this_thread::sleep_for(milliseconds(20));
  } while (Clock::now() < end);
  return 0;
}

std::vector<std::string> Screen::AtomNames(Window window, const char* property) {
  std::vector<std::string> names;
  for (const std::uint32_t atom : Cardinals(connection_, window, Atom(property), XCB_ATOM_ATOM)) {
    auto* reply =
        xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, atom), nullptr);
    if (reply)
      names.emplace_back(xcb_get_atom_name_name(reply),
                         static_cast<std::size_t>(xcb_get_atom_name_name_length(reply)));
    std::free(reply);
  }
  return names;
}

bool Screen::HasProperty(Window window, const char* property) {
  const auto reply = GetProperty(connection_, window, Atom(property), XCB_GET_PROPERTY_TYPE_ANY, 1);
  return reply && reply->type != XCB_NONE;
}

std::vector<std::string> Screen::IconifyAndWatch(Window window, milliseconds timeout) {
  const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &mask);
  SendClientMessage(connection_, window, Atom("WM_CHANGE_STATE"), 3 /* IconicState */, root_,
                    XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
  std::vector<std::string> seen;
  const auto end = Clock::now() + timeout;
  while (!(seen.size() >= 2 && seen.back() == "map" && seen[seen.size() - 2] == "unmap")) {
    xcb_generic_event_t* event = NextEvent(connection_, end);
    if (!event) break;
    const auto type = event->response_type & 0x7f;
    if (type == XCB_MAP_NOTIFY &&
        reinterpret_cast<xcb_map_notify_event_t*>(event)->window == window)
      seen.emplace_back("map");
    if (type == XCB_UNMAP_NOTIFY &&
        reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window == window)
      seen.emplace_back("unmap");
    std::free(event);
  }
  return seen;
}

}  // namespace quorel::x11
