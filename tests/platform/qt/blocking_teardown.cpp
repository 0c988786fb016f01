// Preloaded into the program (LD_PRELOAD) by the end-to-end test: the application object's
// teardown then blocks for good, as Qt's Wayland teardown can when its event thread does not
// stop. A program whose end waits for that teardown never ends.
#include <unistd.h>

#include <QCoreApplication>

namespace {

void BlockForGood() {
  for (;;)
    pause();
}

// Post routines run in the application object's destructor.
const bool registered = (qAddPostRoutine(BlockForGood), true);

}  // namespace
