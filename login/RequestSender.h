#pragma once

#include "core/DataModel.h"
#include "core/DataModelManager.h"
#include "core/RequestParam.h"
#include "platform/Lifetime.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QString>
#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>

class Account;
class AccountManager;

// The process-wide instance of a manager, made on first use; tests reset it.
template <class Manager> class SharedInstance {
public:
    static Manager* getInstance()
    {
        if (!slot())
            slot() = std::make_unique<Manager>();
        return slot().get();
    }
    static void resetInstance() { slot().reset(); }

private:
    static std::unique_ptr<Manager>& slot()
    {
        static std::unique_ptr<Manager> shared;
        return shared;
    }
};

// What the request managers share: their request objects, one per class,
// made on first use and kept, and the filling and sending of a record with
// the active account's prefix. A record that cannot be sent (no account, a
// text too long for its field, a class not in the catalogue) is never sent;
// the caller hears why, at once from send() or, from sendOrRefuse(), through
// its observer on a later pass of the main loop (error kRefusedRequestCode),
// as the request layer tells a refused record. Main thread only.
class RequestSender {
public:
    static constexpr qint32 kTradeTimeout = 30; // seconds
    static constexpr qint32 kTimeout = kTradeTimeout;

    // Null services are the shared instances, looked up when used.
    explicit RequestSender(DataModelManager* dataModelManager = nullptr, AccountManager* accountManager = nullptr)
        : dataModelManager_(dataModelManager)
        , accountManager_(accountManager)
    {
    }

    // The request object of a class, made once; null when not in the catalogue.
    DataModel* dataModel(const char* identifier);
    // The same, kept in the caller's slot.
    DataModel* dataModel(std::unique_ptr<DataModel>& slot, const char* identifier);
    // The time-out of every request sent from now on, in seconds (tests).
    void setTimeout(qint32 seconds) { timeout_ = std::max<qint32>(seconds, 1); }
    void setRequestTimeout(qint32 seconds) { setTimeout(seconds); }
    std::shared_ptr<Account> activeAccount() const;
    // The active account's common prefix; none without a logged-in account.
    std::optional<QString> commonUrl() const;
    QString activePrefix() const { return commonUrl().value_or(QString()); }
    // The text into a field as it is: a text too long for its field makes
    // the request layer refuse the record rather than send it cut.
    static void put(std::string& field, const QString& text);

    // Fill(Param&, QString* message) -> bool. Answers why nothing was sent,
    // or "" with the handle through `handle`.
    template <class Param, class Fill>
    QString send(const char* identifier, DataModelObserver* observer, Fill&& fill, QString* handle = nullptr)
    {
        const std::optional<QString> prefix = commonUrl();
        if (!prefix)
            return QStringLiteral("没有已登录的账户");
        DataModel* model = dataModel(identifier);
        if (!model)
            return QStringLiteral("请求类未登记");
        if (!observer)
            return QStringLiteral("请求没有接收者");
        return answer(sendWith<Param>(model, observer, &*prefix, timeout_, fill), handle);
    }

    // A query that carries no account (quotes, indexes): the record holds
    // the caller's values only. Answers as send() does.
    template <class Param, class Fill>
    QString sendWithoutAccount(
        const char* identifier, DataModelObserver* observer, qint32 timeout, Fill&& fill, QString* handle = nullptr)
    {
        DataModel* model = dataModel(identifier);
        if (!model)
            return QStringLiteral("请求类未登记");
        if (!observer)
            return QStringLiteral("请求没有接收者");
        return answer(sendWith<Param>(model, observer, nullptr, timeout, fill), handle);
    }

    // `fill(record)` copies the values into the class's record and answers
    // why they cannot be sent, or nullopt; the observer hears that reason.
    // Answers the request handle, "" when nothing was sent (a record the
    // request layer refuses it reports itself).
    template <class Class, class Protocol, class Fill>
    QString send(std::unique_ptr<DataModel>& slot, Protocol* observer, Fill&& fill)
    {
        DataModel* model = dataModel(slot, Class::info.identifier);
        if (!model || !observer)
            return QString();
        auto fillRecord = [&](typename Class::ParamType& record, QString* why) {
            const std::optional<QString> problem = fill(record);
            if (problem)
                *why = problem->isEmpty() ? QStringLiteral("请求参数错误") : *problem;
            return !problem;
        };
        const QString prefix = activePrefix();
        const Outcome sent = sendWith<typename Class::ParamType>(model, observer, &prefix, timeout_, fillRecord);
        if (!sent.filled)
            refuse<Protocol>(observer, model, sent.why.isEmpty() ? QStringLiteral("请求参数错误") : sent.why);
        return sent.handle;
    }

private:
    struct Outcome {
        bool filled = false;
        QString why; // when not filled
        QString handle; // "" when the request layer refused the record
    };

    // Fills the record (the prefix when there is one, then the caller's
    // values) and sends it.
    template <class Param, class Fill>
    Outcome sendWith(DataModel* model, DataModelObserver* observer, const QString* prefix, qint32 timeout, Fill& fill)
    {
        Outcome out;
        tagRequestParam param;
        model->mallocParam(&param);
        Param* record = param.get<Param>();
        if constexpr (requires { &Param::commonUrl; })
            out.filled = record && (!prefix || requestparam::setParam(*record, &Param::commonUrl, *prefix, &out.why));
        else
            out.filled = record && !prefix;
        out.filled = out.filled && fill(*record, &out.why);
        if (out.filled)
            out.handle = model->requestData(observer, param, timeout);
        model->freeParam(&param);
        return out;
    }

    static QString answer(const Outcome& sent, QString* handle)
    {
        if (!sent.filled)
            return sent.why.isEmpty() ? QStringLiteral("请求参数错误") : sent.why;
        if (handle)
            *handle = sent.handle;
        return sent.handle.isEmpty() ? QStringLiteral("请求未被接受") : QString();
    }

    template <class Protocol> static void refuse(Protocol* observer, DataModel* request, const QString& message)
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [target = platform::WeakRef<DataModelObserver>(observer), from = platform::WeakRef<DataModel>(request),
                message] {
                if (auto* o = dynamic_cast<Protocol*>(target.get()))
                    Protocol::error(*o, from.get(), QString(), CSError { message, DataModel::kRefusedRequestCode });
            },
            Qt::QueuedConnection);
    }

    DataModelManager* dataModelManager_;
    AccountManager* accountManager_;
    std::map<QString, std::unique_ptr<DataModel>> dataModels_;
    qint32 timeout_ = kTradeTimeout;
};
