#include "forms/frmAbout.h"

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/text.h"

namespace quorel::forms {

namespace {

using platform::ControlDescription;
using platform::ControlKind;
using platform::Rgb;

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kGrey{128, 128, 128};
constexpr Rgb kWhite{255, 255, 255};

// One row of the control table: kind, name and position, then the properties that differ
// from the defaults.
class Row {
 public:
  Row(ControlKind kind, std::u16string name, int left, int top, int width, int height) {
    c_.kind = kind;
    c_.name = std::move(name);
    c_.left = left;
    c_.top = top;
    c_.width = width;
    c_.height = height;
  }
  Row&& Text(std::u16string text) && { return Set(c_.text, std::move(text)); }
  Row&& Tab(int tabIndex) && { return Set(c_.tabIndex, tabIndex); }
  Row&& Index(int index) && { return Set(c_.index, index); }
  Row&& Fore(Rgb color) && { return Set(c_.foreColor, std::optional<Rgb>(color)); }
  Row&& LineWidth(int pixels) && { return Set(c_.lineWidth, pixels); }
  Row&& Picture(std::u16string name) && { return Set(c_.picture, std::move(name)); }
  Row&& Stretch() && { return Set(c_.stretch, true); }
  Row&& Target(std::u16string target) && { return Set(c_.target, std::move(target)); }
  Row&& Underline() && { return Set(c_.underline, true); }
  Row&& ButtonFace() && { return Set(c_.buttonFaceBackground, true); }
  Row&& Default() && { return Set(c_.isDefault, true); }
  Row&& Cancel() && { return Set(c_.isCancel, true); }
  operator ControlDescription() && { return std::move(c_); }

 private:
  template <typename T>
  Row&& Set(T& field, T value) {
    field = std::move(value);
    return std::move(*this);
  }
  ControlDescription c_;
};

constexpr auto Label = ControlKind::Label;
constexpr auto PictureBox = ControlKind::PictureBox;
constexpr auto Image = ControlKind::Image;
constexpr auto Line = ControlKind::Line;
constexpr auto Button = ControlKind::CommandButton;
constexpr auto Link = ControlKind::HyperLink;

constexpr std::u16string_view kForm = u"frmAbout";
constexpr std::u16string_view kSysInfoKey = u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr std::u16string_view kSysInfoLocationKey = u"SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr std::u16string_view kSysInfoProgram = u"\\MSINFO32.EXE";

// Reading rights only: the lookup never writes, and asking for more would fail for every user
// who may not change the machine-wide keys.
constexpr std::uint32_t kKeyAccess = platform::KEY_READ;
constexpr std::uint32_t kValueBufferSize = 1024;

// Upper-case hexadecimal digits without leading zeros.
std::u16string Hex(unsigned value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), u"0123456789ABCDEF"[value % 16]);
    value /= 16;
  } while (value != 0);
  return digits;
}

}  // namespace

platform::FormDescription frmAboutLayout() {
  platform::FormDescription form;
  form.name = u"frmAbout";
  form.caption = u"Info zu meiner Anwendung";  // replaced by Load
  form.frame = platform::FrameKind::FixedDialog;
  form.minButton = false;
  form.maxButton = false;
  form.showInTaskbar = false;
  form.clientWidth = 8250;
  form.clientHeight = 3795;
  form.position = platform::StartPosition::Manual;
  form.left = 2340;
  form.top = 1935;
  // clang-format off
  form.controls = {
    Row(PictureBox, u"picIcon",        240,  240,  540,  540).Picture(u"about_icon").Tab(1),
    Row(Label,      u"Producktname",   1080, 240,  975,  495).Text(u"Produktname").Fore(kBlack),
    Row(Label,      u"lblTitle",       2290, 240,  3135, 495).Fore(kBlack),
    Row(Label,      u"Version",        1080, 840,  975,  255).Text(u"Version "),
    Row(Label,      u"lblVersion",     2290, 840,  3135, 255),
    Row(Label,      u"Copyright",      1080, 1200, 975,  255).Text(u"Copyright"),
    Row(Link,       u"ctHyperLink1",   2280, 1200, 3135, 255).Text(u"MIRLOX Software-Service")
        .Target(u"mailto:service@mirlox.example").Underline().ButtonFace().Tab(11),
    Row(Label,      u"Description",    1080, 1560, 975,  495).Text(u"Beschreibung").Fore(kBlack),
    Row(Label,      u"lblDescription", 2290, 1560, 3135, 495).Text(u"Beschreibung").Fore(kBlack),
    Row(Label,      u"Erstellt",       1080, 2160, 4455, 255)
        .Text(u"Erstellt am xx.xx.'xx Letzte Korrektur xx.xx.'xx"),
    Row(Line,       u"Line1",          90,   2445, 5654, 2445).Index(1).Fore(kGrey),
    Row(Line,       u"Line1",          105,  2460, 5654, 2460).Index(0).Fore(kWhite).LineWidth(2),
    Row(Image,      u"Image1",         480,  2640, 3255, 795).Picture(u"about_banner").Stretch(),
    Row(Button,     u"cmdOK",          4245, 2760, 1260, 345).Text(u"OK").Default().Cancel().Tab(0),
    Row(Button,     u"cmdSysInfo",     4260, 3240, 1245, 345).Text(u"&Systeminfo...").Tab(2),
    Row(Link,       u"ctHyperLink2",   480,  3480, 3255, 255).Text(u"www.mirlox.example")
        .Target(u"https://www.mirlox.example/").ButtonFace().Tab(12),
    Row(Image,      u"Image2",         5760, 0,    2430, 3675).Picture(u"about_side"),
  };
  // clang-format on
  return form;
}

frmAbout::frmAbout(platform::Desktop& desktop, platform::System& system,
                   platform::Diagnostics& diagnostics)
    : desktop_(desktop), system_(system), diagnostics_(diagnostics) {}

void frmAbout::Load() {
  const auto title = system_.AppTitle();
  const auto version = system_.AppVersion();
  desktop_.SetCaption(kForm, u"Info zu " + title);
  desktop_.SetText(
      kForm, u"lblVersion",
      text::FromUtf8(std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
                     std::to_string(version.revision)));
  desktop_.SetText(kForm, u"lblTitle", title);
}

void frmAbout::Click(std::u16string_view control) {
  if (control == u"cmdOK")
    desktop_.Unload(kForm);
  else if (control == u"cmdSysInfo")
    StartSysInfo();
}

void frmAbout::StartSysInfo() {
  constexpr std::u16string_view kNotAvailable =
      u"Systeminformationen sind momentan nicht verfügbar";
  try {
    if (TryStartSysInfo()) return;
  } catch (const std::exception& error) {
    // Whatever went wrong, the user learns only that the program is not available.
    diagnostics_.Line(std::u16string(kNotAvailable) + u": " + text::FromUtf8(error.what()));
  }
  desktop_.MsgBox(kNotAvailable, platform::vbOKOnly);
}

bool frmAbout::TryStartSysInfo() {
  std::u16string path;
  // A path given by the program itself is taken as it is.
  if (!GetKeyValue(platform::HKEY_LOCAL_MACHINE, kSysInfoKey, u"PATH", path)) {
    // Otherwise the folder where it was installed, if the program is really there.
    if (!GetKeyValue(platform::HKEY_LOCAL_MACHINE, kSysInfoLocationKey, u"MSINFO", path))
      return false;
    path += kSysInfoProgram;
    if (!system_.FileExists(path)) return false;
  }
  system_.StartProcess(path);
  return true;
}

bool frmAbout::GetKeyValue(platform::HKEY KeyRoot, std::u16string_view KeyName,
                           std::u16string_view SubKeyRef, std::u16string& KeyVal) {
  platform::HKEY hKey = 0;
  if (system_.RegOpenKeyExA(KeyRoot, text::ToCodePage(KeyName), 0, kKeyAccess, &hKey) !=
      platform::ERROR_SUCCESS) {
    KeyVal.clear();
    return false;
  }

  std::array<std::uint8_t, kValueBufferSize> buffer{};
  std::uint32_t size = kValueBufferSize;
  std::uint32_t type = platform::REG_NONE;
  if (system_.RegQueryValueExA(hKey, text::ToCodePage(SubKeyRef), &type, buffer.data(), &size) !=
      platform::ERROR_SUCCESS) {
    KeyVal.clear();
    system_.RegCloseKey(hKey);
    return false;
  }

  // The value's size counts a string's terminating zero; an empty value has no last character
  // to look at.
  if (size == 0 || size > kValueBufferSize) {
    system_.RegCloseKey(hKey);
    throw std::runtime_error("Ungültige Länge eines Registrierungswerts");
  }
  const std::uint32_t kept = buffer[size - 1] == 0 ? size - 1 : size;

  if (type == platform::REG_SZ) {
    KeyVal =
        text::FromCodePage(std::string_view(reinterpret_cast<const char*>(buffer.data()), kept));
  } else if (type == platform::REG_DWORD) {
    // The bytes from the most significant down, each as its own group of digits.
    for (std::uint32_t i = kept; i > 0; --i)
      KeyVal += Hex(buffer[i - 1]);
    KeyVal = u"&h" + KeyVal;
  }

  system_.RegCloseKey(hKey);
  return true;
}

}  // namespace quorel::forms
