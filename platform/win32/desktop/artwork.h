// The program's pictures and icons, linked into the program as resources by their names
// ("ok", "server", "about_banner", ...): icons in several sizes, larger pictures as bitmaps.
#pragma once

#include <map>
#include <memory>
#include <string_view>

#include "platform/win32/win32_api.h"

namespace quorel::win32 {

class Picture {
 public:
  // Throws std::logic_error when the program has no picture of that name.
  static std::unique_ptr<Picture> Load(std::u16string_view name);
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  ~Picture();

  // The size it is drawn at when not stretched: its designed size, scaled for the DPI.
  SIZE Size(unsigned dpi) const;
  // The icon at a square size in pixels; nullptr for a bitmap. The picture keeps it.
  HICON Icon(int pixels);
  void Draw(HDC dc, const RECT& box);

 private:
  Picture() = default;
  std::wstring name_;
  HBITMAP bitmap_ = nullptr;
  SIZE designed_{};
  std::map<int, HICON> icons_;
};

}  // namespace quorel::win32
