#pragma once

#include "shell/windows/AlertPresenter.h"

#include <QPointer>
#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

// Every message box of the client. The showing operations open the box
// window-modal on the given window (application-modal without one) with
// open(), never a nested exec(), and call the handler once when it is
// dismissed: 1 default button, 0 alternate, -1 other. Boxes that close at a
// lock (type 20) answer 0 then; the error box stays open.
class RunAlert {
public:
    using Handler = std::function<void(int)>;
    static constexpr qsizetype kMaxTextLength = 500;
    static constexpr qsizetype kMaxTextLines = 20;
    static constexpr qsizetype kMaxUnbrokenRun = 40;
    // A box's text wraps at the width of this many Chinese characters.
    static constexpr qsizetype kLineLength = 30;
    // And is never narrower than this many: a box as narrow as a short text
    // ("请求超时") leaves its title bar no room for the title.
    static constexpr qsizetype kMinLineLength = 12;

    // The text a box shows: at most kMaxTextLength characters and
    // kMaxTextLines lines, ended by "…" when cut, and wrappable everywhere.
    static QString fittingText(const QString& text);

    // Builds the box only; the caller shows it.
    static QMessageBox* alertWithMessageText(const QString& messageText, const QString& defaultButton,
        const QString& alternateButton, const QString& otherButton, const QString& text);
    static QMessageBox* runAlertWithMessageText(const QString& messageText, const QString& defaultButton,
        const QString& alternateButton, const QString& otherButton, const QString& text, QWidget* window,
        Handler completionHandler);
    // "错误" with "确认"; stays open when the screen locks.
    static QMessageBox* runAlertWithErrorMessageText(const QString& text, QWidget* window, Handler completionHandler);
    // "温馨提示" with "确认"; closes when the screen locks.
    static QMessageBox* runAlertWithTipMessageText(const QString& text, QWidget* window, Handler completionHandler);

    static QMessageBox* run(const AlertRequest& request, QWidget* window, Handler completionHandler);
    // The answer of a finished box: 1, 0 or -1.
    static int resultOf(const QMessageBox* box);
};

// Shows a controller's message boxes on one window.
class WindowAlertPresenter final : public AlertPresenter {
public:
    explicit WindowAlertPresenter(QWidget* window)
        : window_(window)
    {
    }
    void runAlert(const AlertRequest& request, Completion completion) override;

private:
    QPointer<QWidget> window_;
};
