// The program's command line as the single argument text the forms read.
#pragma once

#include <string>
#include <string_view>

namespace quorel::win32 {

// The text after the program name of a Windows command line, with the platform's quoting
// taken out and every blank outside quotes kept: `quorel.exe 1 "" ABC` gives "1  ABC" (an
// empty second field), `quorel.exe 1  ABC` keeps its two blanks, `"a b"` gives "a b", and \"
// is a quote character. The one blank that separates the program name is not part of it.
std::u16string ArgumentText(std::u16string_view commandLine);

// ArgumentText of this process's command line.
std::u16string ProcessArgumentText();

}  // namespace quorel::win32
