// The program's arguments as the single command-line text the forms read.
#pragma once

#include <string>

namespace quorel::posix {

// The arguments after the program name, UTF-8 decoded and joined by single blanks, so that an
// empty argument leaves two blanks in a row. No arguments give an empty text.
std::u16string JoinArguments(int argc, char** argv);

}  // namespace quorel::posix
