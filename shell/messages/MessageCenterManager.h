#pragma once

#include "shell/messages/RDOMessageInfo.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AccountManager;
class DataModel;
class DataModelManager;
class IMessageCenterDetailDelegate;
class IMessageCenterListDelegate;

// One stored message as the message centre shows it.
class MessageCenterInfo {
public:
    // initWithDictionary: a stored entry.
    explicit MessageCenterInfo(const QVariantMap& entry);

    bool readFlag = false;
    QString title;
    QString date;
    QString pd;
    QString pt;
    QString updateKey;
    qint64 showHideFlag = 0; // 1 while the row is expanded
    QString formatedDate;

    void setReadFlag(bool flag) { readFlag = flag; }
    void setShowHideFlag(qint64 flag) { showHideFlag = flag; }
    // "(2020年05月06日 10:11:12)" from "2020-05-06 10:11:12".
    static QString formatDate(const QString& date);
    // Whether a stored entry is read: its "read_flag" by its value ("1",
    // "1.000", a number); a missing flag or one without a value is unread.
    static bool isRead(const QVariantMap& entry);
};

// The broker's messages per customer: the list request with the last update
// key seen, the merge into "Config/MessageCenterInfo.plist" (expired entries
// dropped; new ones push the oldest out of a list of 500 or more), read marks
// and the unread count, and the detail request. Main thread only.
class MessageCenterManager {
public:
    static constexpr char kFileName[] = "MessageCenterInfo.plist";
    static constexpr char kMessageCenterKey[] = "2D94E6A1-0B57-4C3E-9F18-D6A70C42B85E";
    static constexpr char kFirstUpdateKey[] = "0|0";
    static constexpr qsizetype kMaxMessages = 500;
    static constexpr qint32 kTimeout = 30;
    using Clock = std::function<QDateTime()>;

    static MessageCenterManager* getInstance();
    // Tests: drops the shared manager.
    static void resetInstance();

    // Loads the store. Services default to the shared instances, the clock
    // to China time (UTC+8), the file to the per-user "Config" folder.
    explicit MessageCenterManager(DataModelManager* dataModelManager = nullptr,
        AccountManager* accountManager = nullptr, Clock clock = {}, const QString& filePath = QString());
    ~MessageCenterManager();
    MessageCenterManager(const MessageCenterManager&) = delete;
    MessageCenterManager& operator=(const MessageCenterManager&) = delete;

    // lastMessageInfoUpdateKey: the active customer's, "0|0" when none.
    QString lastMessageInfoUpdateKey();
    // requestMessageInfoList: sends the list request for the active customer
    // and remembers that customer under the handle, so that the reply is
    // filed under them even if the active account changes meanwhile. The
    // handle; "" when nothing was sent.
    QString requestMessageInfoList(IMessageCenterListDelegate* observer);
    QString requestMessageInfoDetail(
        IMessageCenterDetailDelegate* observer, const QString& pd, const QString& pt);

    // getSecurityKey: the active customer's list key (the customer number
    // enciphered); none without an active account.
    std::optional<QString> getSecurityKey();
    // getSecurityLastMessageInfoKey: "<list key> - updateKey".
    std::optional<QString> getSecurityLastMessageInfoKey();

    // updateMessageCenterInfo: merges a list reply and saves. With the handle
    // the list request answered, it goes to the customers that asked under
    // that handle; without it (or for an unknown handle), to the active one.
    void updateMessageCenterInfo(
        const std::optional<std::vector<RDOMessageInfo>>& messages, const QString& requestHandle = QString());
    // updateReadFlagToRead: marks the first entry with both ids read; saves.
    void updateReadFlagToRead(const QString& pd, const QString& pt);
    std::vector<MessageCenterInfo> getMessageInfoObjects();
    qint64 getUnreadMessageCount();

    const QString& filePath() const { return path; }
    // The whole store, as it is written.
    const QVariantMap& messageInfoDict() const { return store; }

private:
    std::optional<QString> activeCustomer() const;
    // The list key of a customer: the stored one when the store has it (keys
    // are enciphered with a fresh IV each time, so they are found by
    // deciphering), else a new one.
    QString listKeyOf(const QString& customerNumber);
    void merge(const QString& listKey, const std::vector<RDOMessageInfo>& messages);
    bool save() const;
    DataModel* listDataModel();
    DataModel* detailDataModel();

    DataModelManager* dataModelManager;
    std::unique_ptr<DataModel> dmMessageInfoList;
    std::unique_ptr<DataModel> dmMessageInfoDetail;
    AccountManager* accountManager;
    Clock clock;
    QVariantMap store;
    QString path;
    QHash<QString, QString> listKeys; // customer number -> list key
    QHash<QString, QStringList> pendingCustomers; // list request handle -> customer numbers
    QStringList pendingOrder; // the handles above, oldest first
};
