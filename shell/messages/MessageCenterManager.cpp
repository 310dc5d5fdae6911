#include "shell/messages/MessageCenterManager.h"

#include "comm/crypto/AesEncryption.h"
#include "comm/recordset/ServerNumber.h"
#include "core/DataModelManager.h"
#include "login/AccountManager.h"
#include "platform/PropertyList.h"
#include "platform/UserFolder.h"
#include "shell/ShellDataModels.h"

#include <QTimeZone>

namespace {

std::unique_ptr<MessageCenterManager> instance;

const QString kTitle = QStringLiteral("title");
const QString kDate = QStringLiteral("date");
const QString kEndDate = QStringLiteral("end_date");
const QString kPd = QStringLiteral("pd");
const QString kPt = QStringLiteral("pt");
const QString kUpdateKey = QStringLiteral("update_key");
const QString kReadFlag = QStringLiteral("read_flag");
const QString kUpdateKeySuffix = QStringLiteral(" - updateKey");
// Handles of list requests whose reply has not been merged yet; a reply
// nobody merges must not make the table grow for ever.
constexpr qsizetype kMaxPendingHandles = 32;

QTimeZone chinaTime()
{
    return QTimeZone(8 * 3600);
}

// An end date that does not parse counts as not expired.
bool expired(const QVariantMap& entry, const QDateTime& now)
{
    // Read as China time directly, so the machine's own zone (and its
    // daylight-saving gaps) plays no part.
    const QString text = entry.value(kEndDate).toString();
    const QDate day = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss"));
    if (text.size() != 19 || text[10] != u' ' || !day.isValid() || !time.isValid())
        return false;
    return QDateTime(day, time, chinaTime()) <= now;
}

QVariantMap entryOf(const RDOMessageInfo& m)
{
    return {
        { kTitle, m.title },
        { kDate, m.date },
        { kEndDate, m.endDate },
        { kPd, m.pd },
        { kPt, m.pt },
        { kUpdateKey, m.updateKey },
        { kReadFlag, QStringLiteral("0") },
    };
}

void put(std::string& field, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    field.assign(bytes.constData(), size_t(bytes.size()));
}

} // namespace

MessageCenterInfo::MessageCenterInfo(const QVariantMap& entry)
    : readFlag(isRead(entry))
    , title(entry.value(kTitle).toString())
    , date(entry.value(kDate).toString())
    , pd(entry.value(kPd).toString())
    , pt(entry.value(kPt).toString())
    , updateKey(entry.value(kUpdateKey).toString())
    , formatedDate(formatDate(date))
{
}

bool MessageCenterInfo::isRead(const QVariantMap& entry)
{
    return servernumber::valueOf(entry.value(kReadFlag)).value_or(0) != 0;
}

QString MessageCenterInfo::formatDate(const QString& date)
{
    QString text = QStringLiteral("(%1)").arg(date);
    const auto replaceFirst = [&text](QStringView what, QStringView with) {
        const qsizetype at = text.indexOf(what);
        if (at >= 0)
            text.replace(at, what.size(), with.toString());
    };
    replaceFirst(u"-", u"年");
    replaceFirst(u"-", u"月");
    replaceFirst(u" ", u"日 ");
    return text;
}

MessageCenterManager* MessageCenterManager::getInstance()
{
    if (!instance)
        instance = std::make_unique<MessageCenterManager>();
    return instance.get();
}

void MessageCenterManager::resetInstance()
{
    instance.reset();
}

MessageCenterManager::MessageCenterManager(
    DataModelManager* dataModelManager, AccountManager* accountManager, Clock clock, const QString& filePath)
    : dataModelManager(dataModelManager ? dataModelManager : DataModelManager::getInstance())
    , accountManager(accountManager ? accountManager : AccountManager::getInstance())
    , clock(clock ? std::move(clock)
                  : Clock([] { return QDateTime::currentDateTimeUtc().toTimeZone(chinaTime()); }))
    , path(filePath.isEmpty() ? platform::UserFolder::configFilePath(QString::fromLatin1(kFileName))
                              : filePath)
{
    const std::optional<QVariant> stored = platform::PropertyList::readFile(path);
    if (stored && stored->typeId() == QMetaType::QVariantMap)
        store = stored->toMap();
}

MessageCenterManager::~MessageCenterManager() = default;

std::optional<QString> MessageCenterManager::activeCustomer() const
{
    const AccountManager::AccountPtr account = accountManager->getActiveLoginAccount();
    if (!account || account->customerNumber.isEmpty())
        return std::nullopt;
    return account->customerNumber;
}

QString MessageCenterManager::listKeyOf(const QString& customerNumber)
{
    if (const auto known = listKeys.constFind(customerNumber); known != listKeys.constEnd())
        return *known;
    const QString key = QString::fromLatin1(kMessageCenterKey);
    for (auto it = store.constBegin(); it != store.constEnd(); ++it) {
        if (it.key().endsWith(kUpdateKeySuffix))
            continue;
        if (AesEncryption::decodeStringWithAES(it.key(), key) == customerNumber) {
            listKeys.insert(customerNumber, it.key());
            return it.key();
        }
    }
    const QString made = AesEncryption::encodeStringWithAES(customerNumber, key).value_or(QString());
    if (!made.isEmpty())
        listKeys.insert(customerNumber, made);
    return made;
}

std::optional<QString> MessageCenterManager::getSecurityKey()
{
    const std::optional<QString> customer = activeCustomer();
    if (!customer)
        return std::nullopt;
    const QString key = listKeyOf(*customer);
    if (key.isEmpty())
        return std::nullopt;
    return key;
}

std::optional<QString> MessageCenterManager::getSecurityLastMessageInfoKey()
{
    const std::optional<QString> key = getSecurityKey();
    if (!key)
        return std::nullopt;
    return *key + kUpdateKeySuffix;
}

QString MessageCenterManager::lastMessageInfoUpdateKey()
{
    const std::optional<QString> key = getSecurityLastMessageInfoKey();
    const QString value = key ? store.value(*key).toString() : QString();
    return value.isEmpty() ? QString::fromLatin1(kFirstUpdateKey) : value;
}

DataModel* MessageCenterManager::listDataModel()
{
    if (!dmMessageInfoList)
        dmMessageInfoList
            = dataModelManager->getDataModel(QString::fromLatin1(DMMessageCenterList::info.identifier));
    return dmMessageInfoList.get();
}

DataModel* MessageCenterManager::detailDataModel()
{
    if (!dmMessageInfoDetail)
        dmMessageInfoDetail
            = dataModelManager->getDataModel(QString::fromLatin1(DMMessageCenterDetail::info.identifier));
    return dmMessageInfoDetail.get();
}

QString MessageCenterManager::requestMessageInfoList(IMessageCenterListDelegate* observer)
{
    DataModel* request = listDataModel();
    const AccountManager::AccountPtr account = accountManager->getActiveLoginAccount();
    if (!request || !account)
        return QString();
    tagRequestParam param;
    request->mallocParam(&param);
    put(param.messageCenterList()->updateKey, lastMessageInfoUpdateKey());
    put(param.messageCenterList()->orgId, account->organizationCode.value_or(QString()));
    const QString handle = request->requestData(observer, param, kTimeout);
    request->freeParam(&param);
    // The customer is taken now: the reply may come after another account
    // became the active one.
    if (!handle.isEmpty() && !account->customerNumber.isEmpty()) {
        QStringList& customers = pendingCustomers[handle];
        if (!customers.contains(account->customerNumber))
            customers.append(account->customerNumber);
        pendingOrder.removeAll(handle);
        pendingOrder.append(handle);
        while (pendingOrder.size() > kMaxPendingHandles)
            pendingCustomers.remove(pendingOrder.takeFirst());
    }
    return handle;
}

QString MessageCenterManager::requestMessageInfoDetail(
    IMessageCenterDetailDelegate* observer, const QString& pd, const QString& pt)
{
    DataModel* request = detailDataModel();
    if (!request)
        return QString();
    tagRequestParam param;
    request->mallocParam(&param);
    put(param.messageCenterDetail()->pd, pd);
    put(param.messageCenterDetail()->pt, pt);
    const QString handle = request->requestData(observer, param, kTimeout);
    request->freeParam(&param);
    return handle;
}

void MessageCenterManager::updateMessageCenterInfo(
    const std::optional<std::vector<RDOMessageInfo>>& messages, const QString& requestHandle)
{
    QStringList customers;
    if (const auto pending = pendingCustomers.constFind(requestHandle);
        pending != pendingCustomers.constEnd()) {
        customers = *pending;
        pendingCustomers.remove(requestHandle);
        pendingOrder.removeAll(requestHandle);
    } else if (const std::optional<QString> active = activeCustomer()) {
        customers.append(*active);
    }
    if (!messages || messages->empty())
        return;
    bool changed = false;
    for (const QString& customer : customers) {
        const QString listKey = listKeyOf(customer);
        if (listKey.isEmpty())
            continue;
        merge(listKey, *messages);
        changed = true;
    }
    if (changed)
        save();
}

void MessageCenterManager::merge(const QString& listKey, const std::vector<RDOMessageInfo>& messages)
{
    // The server sends the newest first: its key is where the next list starts.
    store.insert(listKey + kUpdateKeySuffix, messages.front().updateKey);
    const QDateTime now = clock();
    QVariantList list;
    const bool known = store.contains(listKey);
    if (!known) {
        for (const RDOMessageInfo& m : messages) {
            QVariantMap entry = entryOf(m);
            if (!expired(entry, now))
                list.append(entry);
        }
    } else {
        for (const QVariant& old : store.value(listKey).toList()) {
            if (!expired(old.toMap(), now))
                list.append(old);
        }
        // New messages go on top in reply order. Each one pushes the oldest
        // out of a full list: a shorter list grows to the cap, a longer one
        // keeps its length. A message whose place lies past the end is lost.
        for (qsizetype i = 0; i < qsizetype(messages.size()) && i <= list.size(); ++i) {
            const bool full = list.size() >= kMaxMessages;
            list.insert(i, entryOf(messages[size_t(i)]));
            if (full)
                list.removeLast();
        }
    }
    store.insert(listKey, list);
}

bool MessageCenterManager::save() const
{
    return platform::PropertyList::writeFileAtomic(path, store);
}

void MessageCenterManager::updateReadFlagToRead(const QString& pd, const QString& pt)
{
    if (const std::optional<QString> key = getSecurityKey()) {
        QVariantList list = store.value(*key).toList();
        for (QVariant& item : list) {
            QVariantMap entry = item.toMap();
            if (entry.value(kPd).toString() == pd && entry.value(kPt).toString() == pt) {
                entry.insert(kReadFlag, QStringLiteral("1"));
                item = entry;
                store.insert(*key, list);
                break;
            }
        }
    }
    save();
}

std::vector<MessageCenterInfo> MessageCenterManager::getMessageInfoObjects()
{
    std::vector<MessageCenterInfo> out;
    const std::optional<QString> key = getSecurityKey();
    if (!key)
        return out;
    for (const QVariant& item : store.value(*key).toList())
        out.emplace_back(item.toMap());
    return out;
}

qint64 MessageCenterManager::getUnreadMessageCount()
{
    const std::optional<QString> key = getSecurityKey();
    if (!key)
        return 0;
    qint64 unread = 0;
    for (const QVariant& item : store.value(*key).toList()) {
        if (!MessageCenterInfo::isRead(item.toMap()))
            ++unread;
    }
    return unread;
}
