#include "cli/commands.h"

namespace varnok::cli {
namespace {
int status = kSuccessExit;
}

void setExitStatus(int value) { status = value; }
int exitStatus() { return status; }

}  // namespace varnok::cli
