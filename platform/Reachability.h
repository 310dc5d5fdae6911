#pragma once

#include <functional>

// Whether the machine has a network at all. Qt's network information backend
// answers where one loads; otherwise an interface that is up, running and not
// the loopback counts as a network.
namespace platform::Reachability {

bool isNetworkReachable();
// The fallback alone: some non-loopback interface is up and running.
bool hasActiveInterface();

// Replaces the answer (tests); an empty function restores the real one.
void setOverride(std::function<bool()> answer);

} // namespace platform::Reachability
