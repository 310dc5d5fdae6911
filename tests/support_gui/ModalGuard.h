#pragma once

// Widget tests fail at once on a modal dialog they did not expect, instead
// of waiting in its modal run until the test runner's time-out. A test
// expects a dialog by answering it: through the dialog's own test hook
// (OrderAlertWindowController, FundBalPwdAlertWC), or, for a dialog it
// answers itself (a timer that clicks or closes it), with an
// ExpectModalDialogs in scope.
namespace testsupport {

class ExpectModalDialogs {
public:
    ExpectModalDialogs();
    ~ExpectModalDialogs();
    ExpectModalDialogs(const ExpectModalDialogs&) = delete;
    ExpectModalDialogs& operator=(const ExpectModalDialogs&) = delete;
};

// Called once by the test main: an unexpected modal run is a failure of the
// running test and ends as rejected.
void installModalDialogGuard();

} // namespace testsupport
