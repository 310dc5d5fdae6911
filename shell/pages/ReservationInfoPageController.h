#pragma once

#include "login/LoginDataModels.h"
#include "shell/windows/AlertPresenter.h"

#include <QObject>

class AccountManager;
// What ReservationInfoPageController works with; null ones are the shared instances.
struct ReservationInfoPageControllerServices {
    AccountManager* accountManager = nullptr;
};

// The reserved-greeting page without its widgets: the current greeting, the
// new one, and its change after the user confirmed it. Between confirming
// and the reply the controls are disabled. Main thread only.
class ReservationInfoPageController final : public QObject, public IReservationInfoDelegate {
    Q_OBJECT
public:
    using Services = ReservationInfoPageControllerServices;
    static constexpr qsizetype kMaxLength = 50; // UTF-16 code units
    // The characters a greeting must not hold.
    static QString forbiddenCharacters() { return QStringLiteral("：#%&+/\\=? .:"); }

    explicit ReservationInfoPageController(Services services = Services(), QObject* parent = nullptr);

    void setAlertPresenter(AlertPresenter* alerts) { alerts_ = alerts ? alerts : AlertPresenter::headless(); }

    const QString& currentText() const { return currentText_; }
    const QString& inputText() const { return inputText_; }
    void setInputText(const QString& text) { inputText_ = text; }
    bool controlsEnabled() const { return enabled_; }

    // checkReserveInput: true when the new greeting holds none of the characters.
    bool checkReserveInput() const;
    void submitButtonClicked();
    void resetButtonClicked();

    void reservationInfo(DataModel* request, const QString& requestHandle, const bool& result) override;
    bool reservationInfo(DataModel* request, const QString& requestHandle, const CSError& error) override;

signals:
    void changed();

private:
    void enableControls(bool flag);
    void send(const QString& greeting);

    AccountManager* accountManager;
    AlertPresenter* alerts_ = AlertPresenter::headless();
    QString currentText_;
    QString inputText_;
    QString sentText_;
    bool enabled_ = true;
};
