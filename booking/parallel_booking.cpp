// The booking tab's parts of the main window.
#include "shell/parallel_window.h"

namespace infemora {

void TfrmParallel::tshPkpfFileShow() {}

// Teardown: no booking grid or file exists yet before the tab was filled.
void TfrmParallel::bookingTeardownFocus() {}
void TfrmParallel::bookingTeardownClose() {}

} // namespace infemora
