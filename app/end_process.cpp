#include "app/end_process.h"

#include <cstdio>
#include <cstdlib>

namespace quorel::app {

void EndProcess(int status) {
  std::fflush(nullptr);  // every output stream; std::cout and std::cerr write through stdio
  std::_Exit(status);
}

}  // namespace quorel::app
