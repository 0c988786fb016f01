#include "users_file.h"

#include <windows.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dispatch_object.h"
#include "platform/text.h"
#include "platform/win32/wide.h"

namespace standin {

namespace {

constexpr wchar_t kVariable[] = L"QUOREL_STANDIN_USERS";

std::wstring FilePath() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = GetEnvironmentVariableW(kVariable, path.data(), MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    throw Raised{std::wstring(L"Die Umgebungsvariable ") + kVariable +
                 L" nennt keine Benutzerdatei."};
  path.resize(length);
  return path;
}

std::wstring ReadText(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) throw Raised{L"Die Benutzerdatei " + path + L" kann nicht gelesen werden."};
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return quorel::win32::ToWide(quorel::text::FromUtf8(bytes.str()));
}

std::vector<std::wstring> Split(const std::wstring& line, wchar_t separator) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  for (;;) {
    const auto end = line.find(separator, start);
    parts.push_back(line.substr(start, end - start));
    if (end == std::wstring::npos) return parts;
    start = end + 1;
  }
}

VARTYPE TypeNamed(const std::wstring& name) {
  if (name.empty()) return VT_BSTR;
  if (name == L"I4") return VT_I4;
  if (name == L"R8") return VT_R8;
  if (name == L"BOOL") return VT_BOOL;
  if (name == L"DATE") return VT_DATE;
  if (name == L"NULL") return VT_NULL;
  if (name == L"EMPTY") return VT_EMPTY;
  if (name == L"ERROR") return VT_ERROR;
  return VT_ILLEGAL;
}

Cell ParseCell(const std::wstring& field) {
  const auto equals = field.find(L'=');
  const std::wstring head = field.substr(0, equals);
  const auto colon = head.find(L':');
  Cell cell{head.substr(0, colon),
            TypeNamed(colon == std::wstring::npos ? L"" : head.substr(colon + 1)),
            equals == std::wstring::npos ? L"" : field.substr(equals + 1)};
  const bool valueless = cell.type == VT_NULL || cell.type == VT_EMPTY;
  if (cell.name.empty() || cell.type == VT_ILLEGAL || valueless != (equals == std::wstring::npos))
    throw Raised{L"Unlesbares Feld »" + field + L"«"};
  return cell;
}

}  // namespace

std::vector<UserRecord> ReadUsersFile() {
  const std::wstring path = FilePath();
  const std::wstring text = ReadText(path);
  std::vector<UserRecord> records;
  int number = 0;
  for (std::wstring line : Split(text, L'\n')) {
    ++number;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.empty() || line.front() == L'#') continue;
    const auto fields = Split(line, L'\t');
    if (fields.size() < 2)
      throw Raised{L"Benutzerdatei " + path + L", Zeile " + std::to_wstring(number) +
                   L": Klasse und Id fehlen."};
    UserRecord record{fields[0], fields[1], {}};
    try {
      for (std::size_t i = 2; i < fields.size(); ++i)
        record.cells.push_back(ParseCell(fields[i]));
    } catch (const Raised& bad) {
      throw Raised{L"Benutzerdatei " + path + L", Zeile " + std::to_wstring(number) + L": " +
                   bad.text};
    }
    records.push_back(std::move(record));
  }
  return records;
}

void CellValue(const Cell& cell, VARIANT* result) {
  VariantInit(result);
  switch (cell.type) {
    case VT_ERROR:
      throw Raised{cell.value};
    case VT_BSTR:
      V_VT(result) = VT_BSTR;
      V_BSTR(result) = SysAllocStringLen(cell.value.data(), static_cast<UINT>(cell.value.size()));
      return;
    case VT_I4:
      V_VT(result) = VT_I4;
      V_I4(result) = static_cast<LONG>(std::wcstol(cell.value.c_str(), nullptr, 10));
      return;
    case VT_R8:
      V_VT(result) = VT_R8;
      V_R8(result) = std::wcstod(cell.value.c_str(), nullptr);
      return;
    case VT_BOOL:
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = cell.value == L"1" ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    case VT_DATE: {
      SYSTEMTIME time{};
      swscanf(cell.value.c_str(), L"%hu-%hu-%hu %hu:%hu:%hu", &time.wYear, &time.wMonth, &time.wDay,
              &time.wHour, &time.wMinute, &time.wSecond);
      V_VT(result) = VT_DATE;
      SystemTimeToVariantTime(&time, &V_DATE(result));
      return;
    }
    default:
      V_VT(result) = cell.type;  // VT_NULL, VT_EMPTY
  }
}

}  // namespace standin
