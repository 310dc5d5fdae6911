#pragma once

#include "core/DataModelManager.h"
#include "core/RequestParam.h"
#include "login/AccountManager.h"

#include <QString>
#include <algorithm>
#include <map>
#include <memory>
#include <optional>

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

// What the trading managers share: their request objects, one per class,
// made on first use and kept, and the filling and sending of a record with
// the active account's prefix. A request that cannot be sent answers why
// (no account, a text too long for its field, a class not in the catalogue);
// a sent one answers "" and the handle through `handle`.
class TradeRequestSender {
public:
    static constexpr qint32 kTradeTimeout = 30;

    TradeRequestSender(DataModelManager* dataModelManager, AccountManager* accountManager)
        : dataModelManager_(dataModelManager)
        , accountManager_(accountManager)
    {
    }

    DataModel* dataModel(const char* identifier);
    // The time-out of every request sent from now on, in seconds (tests).
    void setTimeout(qint32 seconds) { timeout_ = std::max<qint32>(seconds, 1); }
    std::optional<QString> commonUrl() const;
    AccountManager::AccountPtr activeAccount() const;

    // Fill(Param&, const std::string& prefix, QString* message) -> bool.
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
        tagRequestParam param;
        model->mallocParam(&param);
        Param* member = param.get<Param>();
        QString message;
        const bool filled = member && requestparam::setParam(*member, &Param::commonUrl, *prefix, &message)
            && fill(*member, &message);
        const QString sent = filled ? model->requestData(observer, param, timeout_) : QString();
        model->freeParam(&param);
        if (!filled)
            return message.isEmpty() ? QStringLiteral("请求参数错误") : message;
        if (handle)
            *handle = sent;
        return sent.isEmpty() ? QStringLiteral("请求未被接受") : QString();
    }

private:
    DataModelManager* dataModelManager_;
    AccountManager* accountManager_;
    std::map<QString, std::unique_ptr<DataModel>> dataModels_;
    qint32 timeout_ = kTradeTimeout;
};
