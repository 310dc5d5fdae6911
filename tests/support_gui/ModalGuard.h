#pragma once

#include "support/ModalGuard.h"

#include <string>

namespace testsupport {

// The active modal window: its class, title and object name.
std::string describeModalWidget();

} // namespace testsupport
