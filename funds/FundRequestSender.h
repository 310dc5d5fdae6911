#pragma once

#include "core/DataModel.h"
#include "platform/Lifetime.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>

class AccountManager;
class DataModelManager;

// The common steps of the fund senders: fetch the request object once by its
// identifier, fill its record from the active account's prefix and the
// caller's values, send with the caller as observer, free the record. A value
// that fails its field's check is never sent: the observer hears why on a
// later pass of the main loop (error kRefusedRequestCode), as the request
// layer tells a refused record. Main thread only.
class FundRequestSender {
public:
    static constexpr qint32 kTimeout = 30; // seconds

    // Null services are the shared instances.
    explicit FundRequestSender(DataModelManager* dataModelManager = nullptr, AccountManager* accountManager = nullptr);

    // `fill(record)` copies the values into the class's record and answers
    // why they cannot be sent, or nullopt. Answers the request handle, ""
    // when nothing was sent.
    template <class Class, class Protocol, class Fill>
    QString send(std::unique_ptr<DataModel>& slot, Protocol* observer, Fill&& fill)
    {
        DataModel* request = dataModel(slot, Class::info.identifier);
        if (!request || !observer)
            return QString();
        tagRequestParam param;
        request->mallocParam(&param);
        auto* record = param.template get<typename Class::ParamType>();
        put(record->commonUrl, activePrefix());
        QString handle;
        if (std::optional<QString> problem = fill(*record))
            refuse<Protocol>(observer, request, *problem);
        else
            handle = request->requestData(observer, param, timeout);
        request->freeParam(&param);
        return handle;
    }

    // The text into a field as it is: a text too long for its field makes
    // the request layer refuse the record rather than send it cut.
    static void put(std::string& field, const QString& text);
    QString activePrefix() const;
    DataModel* dataModel(std::unique_ptr<DataModel>& slot, const char* identifier);

    // Tests: the time-out of every request.
    void setRequestTimeout(qint32 seconds) { timeout = seconds; }

private:
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

    DataModelManager* dataModelManager;
    AccountManager* accountManager;
    qint32 timeout = kTimeout;
};
