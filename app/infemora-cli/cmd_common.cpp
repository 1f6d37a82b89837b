#include "app/infemora-cli/commands.h"

namespace infemora::cli {

int ExitCodeAfterRun(bool ok) { return ok ? 0 : 1; }

} // namespace infemora::cli
