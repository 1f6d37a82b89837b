#pragma once
// The external quit request: any process can ask every running instance of the user to end.
#include <vector>

namespace infemora {

// Process ids of the user's running GUI instances (other than this process).
std::vector<int> FindRunningInstances();
// Sends each of them the request; returns how many were asked.
int RequestTerminateAll();

} // namespace infemora
