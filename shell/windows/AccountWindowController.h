#pragma once

#include "shell/formatters/NumberFormatter.h"

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

    static QStringList loginTypes() { return { QStringLiteral("普通交易") }; }
    QValidator* customerNumberFormatter() const { return formatter_; }

    const QString& customerNumberText() const { return customerNumberText_; }
    void setCustomerNumberText(const QString& text) { customerNumberText_ = text; }

    // addButtonClicked: answers whether the field's text was taken. An empty
    // field saves a record without a customer number; a number already saved
    // keeps its record and place. Never shows a message box.
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
    NumberFormatter* formatter_;
    QString customerNumberText_;
};
