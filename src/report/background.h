// Work a run does beside its passes that nothing waits for until the run
// ends: the books' hashes after, the reconciliation. It runs on a thread of
// its own that gives way to the passes and to the spooling of their
// changes, so that on a machine with few processors it fills the time they
// leave idle instead of taking it from them.
#pragma once

#include <future>
#include <utility>

namespace varnok::report {

// Lowers the calling thread's priority to the least (nice 19); only advice.
void giveWayToTheRun();

template <typename Work>
auto inBackground(Work work) {
  return std::async(std::launch::async, [work = std::move(work)]() mutable {
    giveWayToTheRun();
    return work();
  });
}

}  // namespace varnok::report
