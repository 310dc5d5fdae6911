#pragma once

#include "shell/formatters/NumberFormatter.h"
#include "shell/windows/AlertPresenter.h"

#include <QObject>
#include <QStringList>

class AccountManager;
class NotificationCenter;
class UserDefaultConfig;
// What AccountWindowController works with; null ones are the shared instances.
struct AccountWindowControllerServices {
    AccountManager* accountManager = nullptr;
    UserDefaultConfig* userDefaultConfig = nullptr;
    NotificationCenter* notificationCenter = nullptr;
};

// The saved-accounts window without its widgets: the saved customer numbers,
// add one, delete one, delete all. Every action goes straight to the account
// manager and its file. Main thread only.
class AccountWindowController final : public QObject {
    Q_OBJECT
public:
    using Services = AccountWindowControllerServices;
    static constexpr char kSortNumberColumn[] = "SortNumberColumn";
    static constexpr char kLoginTypeColumn[] = "loginTypeColumn";
    static constexpr char kCustomerNumberColumn[] = "customerNumberColumn";
    static constexpr quint64 kMaxCustomerNumberLength = 12;

    explicit AccountWindowController(Services services = Services(), QObject* parent = nullptr);

    void setAlertPresenter(AlertPresenter* alerts) { alerts_ = alerts ? alerts : AlertPresenter::headless(); }
    static QStringList loginTypes() { return { QStringLiteral("普通交易") }; }
    QValidator* customerNumberFormatter() const { return formatter_; }

    const QString& customerNumberText() const { return customerNumberText_; }
    void setCustomerNumberText(const QString& text) { customerNumberText_ = text; }

    // addButtonClicked: answers whether a number was added. An empty or
    // malformed number is refused with a message; a number already saved
    // keeps its record and place.
    bool addButtonClicked();
    // deleteButtonClicked: the selected row, -1 for none (nothing happens).
    void deleteButtonClicked(int selectedRow);
    void removeAllButtonClicked();

    int numberOfRowsInTableView() const;
    QString objectValue(const QString& columnIdentifier, int row) const;

signals:
    void reloadData();

private:
    QStringList numbers() const;

    AccountManager* accountManager;
    UserDefaultConfig* userDefaultConfig;
    NotificationCenter* notificationCenter;
    AlertPresenter* alerts_ = AlertPresenter::headless();
    NumberFormatter* formatter_;
    QString customerNumberText_;
};
