#include "report/background.h"

#include <sys/resource.h>
#include <unistd.h>

namespace varnok::report {

void giveWayToTheRun() {
  // On Linux a thread has a nice value of its own.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
}

}  // namespace varnok::report
