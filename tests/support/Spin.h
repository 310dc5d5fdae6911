#pragma once

#include <chrono>
#include <functional>

namespace testsupport {

// Runs the event loop until `condition` holds or `timeout` passes; answers
// whether the condition held. Tests use it instead of fixed sleeps.
bool spinUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Runs the event loop for the whole of `duration`.
void spinFor(std::chrono::milliseconds duration);

} // namespace testsupport
