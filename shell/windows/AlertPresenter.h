#pragma once

#include <QString>
#include <functional>
#include <memory>

// One message box as a controller asks for it. The view that owns the
// controller shows it on its window (RunAlert in shell/ui); tests record it.
struct AlertRequest {
    QString title;
    QString text; // shown verbatim
    QString defaultButton = QStringLiteral("确认");
    QString alternateButton; // empty: no such button
    QString otherButton; // empty: no such button
    bool closesOnLock = true; // closes itself at notification type 20

    // The error box: "错误" with "确认"; it stays open when the screen locks.
    static AlertRequest error(const QString& text);
    // The tip box: "温馨提示" with "确认"; it closes when the screen locks.
    static AlertRequest tip(const QString& text);
};

// Shows message boxes for a controller. The completion hears 1 for the
// default button, 0 for the alternate one, -1 for the other one; a box that
// closes at a lock answers 0.
class AlertPresenter {
public:
    using Completion = std::function<void(int)>;
    virtual ~AlertPresenter() = default;
    virtual void runAlert(const AlertRequest& request, Completion completion) = 0;

    // Used until a view gives its own: logs the text and answers as the
    // alternate button would, so a headless controller never waits.
    static AlertPresenter* headless();
};

// Failures told in a box one at a time: a read asked again in rounds against
// a server that keeps failing (the customer may be away) adds no box while the
// last one is still open; once it is closed, the next failure is told again.
class OneBoxAtATime {
public:
    void tell(AlertPresenter* alerts, const AlertRequest& request);

private:
    std::shared_ptr<bool> open_ = std::make_shared<bool>(false);
};
