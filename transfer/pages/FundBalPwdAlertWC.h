#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QEventLoop;

// The prompt's answer: "result" ("1" confirmed, "0" cancelled), "fund_pwd" and
// "bank_pwd" (the two fields' texts). The texts are wiped when it goes.
struct FundBalPwdAlertResult {
    QString result = QStringLiteral("0");
    QString fundPwd;
    QString bankPwd;
    FundBalPwdAlertResult() = default;
    FundBalPwdAlertResult(FundBalPwdAlertResult&&) = default;
    FundBalPwdAlertResult& operator=(FundBalPwdAlertResult&&) = default;
    ~FundBalPwdAlertResult();
    bool confirmed() const { return result.toInt() == 1; }
};

// The window that shows a prompt; it forwards the two buttons and closing.
class FundBalPwdAlertView {
public:
    virtual ~FundBalPwdAlertView() = default;
    virtual void showModal() = 0;
    virtual void closeWindow() = 0;
};

// The small modal window that asks for the fund and/or bank password before a
// bank balance query. It shows only the fields asked for; closing it in any
// way other than confirm is a cancel. Made anew for each query.
class FundBalPwdAlertWC : public QObject {
    Q_OBJECT
public:
    using ViewFactory
        = std::function<std::unique_ptr<FundBalPwdAlertView>(FundBalPwdAlertWC&, QObject* parent)>;

    FundBalPwdAlertWC();
    ~FundBalPwdAlertWC() override;

    // The widget library installs its window; without one (and without a
    // test hook) the prompt answers a cancel at once.
    static void setViewFactory(ViewFactory factory);
    static void setShownHookForTesting(std::function<void(FundBalPwdAlertWC&)> hook);

    // runModal:needFundPwd:needBankPwd:
    FundBalPwdAlertResult runModal(QObject* parentWindow, bool needFundPwd, bool needBankPwd);
    void cancelButtonClicked() { end(0); }
    void confirmButtonClicked() { end(1); }
    // windowWillClose: a window closed otherwise ends the run as a cancel.
    void windowWillClose() { end(0); }

    bool fundPwdVisible() const { return needFund_; }
    bool bankPwdVisible() const { return needBank_; }
    bool isShown() const { return loop_ != nullptr || shown_; }
    void setFundPwdText(const QString& text);
    void setBankPwdText(const QString& text);

signals:
    void changed();

private:
    void end(int code);

    bool needFund_ = false;
    bool needBank_ = false;
    bool shown_ = false;
    int code_ = 0;
    QString fundPwd_;
    QString bankPwd_;
    QEventLoop* loop_ = nullptr;
    std::unique_ptr<FundBalPwdAlertView> view_;
};
