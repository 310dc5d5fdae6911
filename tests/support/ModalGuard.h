#pragma once

#include <functional>
#include <string>

// Tests fail at once on a modal run they did not expect, instead of waiting
// in it until the test runner's time-out. A test expects a dialog by
// answering it: through the dialog's own test hook (OrderAlertWindowController,
// FundBalPwdAlertWC), or, for a dialog or modal session it answers itself (a
// timer that clicks or closes it), with an ExpectModalDialogs in scope.
namespace testsupport {

class ExpectModalDialogs {
public:
    ExpectModalDialogs();
    ~ExpectModalDialogs();
    ExpectModalDialogs(const ExpectModalDialogs&) = delete;
    ExpectModalDialogs& operator=(const ExpectModalDialogs&) = delete;
};

// Called once by the test main: an unexpected modal run is a failure of the
// running test and ends as rejected. `describe` names the dialog of the run
// in the failure (widget tests: the active modal window).
void installModalDialogGuard(std::function<std::string()> describe = {});

} // namespace testsupport
