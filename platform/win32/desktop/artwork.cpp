#include "platform/win32/desktop/artwork.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/text.h"
#include "platform/win32/wide.h"

namespace quorel::win32 {

namespace {

// The entries of an icon group as the resource compiler stores them.
#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
struct GroupIconHeader {
  WORD reserved, type, count;
  GroupIconEntry entries[1];
};
#pragma pack(pop)

// The smallest size of an icon group: the one the picture is designed for at 96 DPI.
std::optional<SIZE> DesignedIconSize(const std::wstring& name) {
  HRSRC resource = FindResourceW(GetModuleHandleW(nullptr), name.c_str(), RT_GROUP_ICON);
  if (!resource) return std::nullopt;
  const auto* group = static_cast<const GroupIconHeader*>(
      LockResource(LoadResource(GetModuleHandleW(nullptr), resource)));
  if (!group || group->count == 0) return std::nullopt;
  int best = 0;
  for (WORD i = 0; i < group->count; ++i) {
    const int size = group->entries[i].width == 0 ? 256 : group->entries[i].width;
    if (best == 0 || size < best) best = size;
  }
  return SIZE{best, best};
}

}  // namespace

std::unique_ptr<Picture> Picture::Load(std::u16string_view name) {
  std::unique_ptr<Picture> picture(new Picture);
  picture->name_ = L"FORM_" + ToWide(name);  // the forms' pictures in the resources
  if (auto size = DesignedIconSize(picture->name_)) {
    picture->designed_ = *size;
    return picture;
  }
  picture->bitmap_ = static_cast<HBITMAP>(LoadImageW(
      GetModuleHandleW(nullptr), picture->name_.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  BITMAP info{};
  if (!picture->bitmap_ || !GetObjectW(picture->bitmap_, sizeof info, &info))
    throw std::logic_error("Bild fehlt in den Programmressourcen: " + text::ToUtf8(name));
  picture->designed_ = {info.bmWidth, info.bmHeight};
  return picture;
}

Picture::~Picture() {
  for (const auto& [size, icon] : icons_)
    DestroyIcon(icon);
  if (bitmap_) DeleteObject(bitmap_);
}

SIZE Picture::Size(unsigned dpi) const {
  return {MulDiv(designed_.cx, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI),
          MulDiv(designed_.cy, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI)};
}

HICON Picture::Icon(int pixels) {
  if (bitmap_) return nullptr;
  HICON& icon = icons_[pixels];
  if (!icon) {
    // The system takes the entry of that size, or scales the nearest one.
    icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), name_.c_str(), IMAGE_ICON,
                                         pixels, pixels, LR_DEFAULTCOLOR));
    if (!icon)
      throw std::runtime_error("Symbol kann nicht geladen werden: " +
                               text::ToUtf8(FromWide(name_)));
  }
  return icon;
}

void Picture::Draw(HDC dc, const RECT& box) {
  const int width = box.right - box.left, height = box.bottom - box.top;
  if (width <= 0 || height <= 0) return;
  if (!bitmap_) {
    DrawIconEx(dc, box.left, box.top, Icon(std::min(width, height)), width, height, 0, nullptr,
               DI_NORMAL);
    return;
  }
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, bitmap_);
  const int mode = SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchBlt(dc, box.left, box.top, width, height, source, 0, 0, designed_.cx, designed_.cy,
             SRCCOPY);
  SetStretchBltMode(dc, mode);
  SelectObject(source, old);
  DeleteDC(source);
}

}  // namespace quorel::win32
