#include "core/DataModel.h"

#include "comm/recordset/ServerNumber.h"
#include "comm/recordset/VEKTCRS.h"
#include "comm/request/CSNetwork.h"
#include "comm/request/CSPacket.h"
#include "core/DMNotificationCenter.h"
#include "core/NetworkFactory.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QtDebug>
#include <algorithm>
#include <array>
#include <atomic>

namespace {

// One read epoch per server kind: quote, trade, and a class with no server.
std::array<std::atomic<quint64>, 3> gReadEpochs {};

std::atomic<quint64>& epochOf(int32_t serverKind)
{
    return gReadEpochs[serverKind == 0 ? 0 : serverKind == 1 ? 1 : 2];
}

// Suffixes of handles of their own, unique in the process.
std::atomic<quint64> gHandleSerial { 0 };

bool onMainThread()
{
    return !QCoreApplication::instance()
        || QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

template <class FanOut> void DataModel::handOut(const Pending& pending, bool withRows, FanOut&& fanOut)
{
    std::optional<RequestLedger::Answering> answering;
    if (pending.asked.serial != 0)
        answering.emplace(pending.asked, withRows);
    fanOut();
}

DataModel::DataModel(QString identifier, INetworkFactory* creator)
    : id_DataModel(std::move(identifier))
    , networkCreator(creator ? creator : NetworkFactory::getInstance())
    , notificationCenter(DMNotificationCenter::getInstance())
{
    CSPacket::setPacketEncoding(0);
    notificationCenter->addObserver(this, &DataModel::serverReconnect, kServerReconnect);
}

DataModel::~DataModel()
{
    notificationCenter->removeObserver(this);
    if (network)
        network->removeRequestWithObserver(this);
}

void DataModel::setNetwork(std::shared_ptr<CSNetwork> value, int32_t kind)
{
    network = std::move(value);
    serverKind_ = kind;
}

void DataModel::mallocParam(tagRequestParam*)
{
}

void DataModel::freeParam(tagRequestParam*)
{
}

void DataModel::request(const DMRequestParamObject&)
{
}

DataModel::Pending::~Pending()
{
    requestparam::wipe(param);
}

quint64 DataModel::readEpoch(int32_t serverKind)
{
    return epochOf(serverKind).load();
}

void DataModel::endEarlierReads() const
{
    ++epochOf(serverKind_);
}

QString DataModel::getRequestHandle(const tagRequestParam&) const
{
    return QStringLiteral("fixed");
}

QString DataModel::requestIdentifier(const QString& handle) const
{
    return id_DataModel + QLatin1Char('|') + handle;
}

bool DataModel::acceptsObserver(DataModelObserver*) const
{
    return true;
}

std::optional<QString> DataModel::checkParam(const tagRequestParam& param) const
{
    return requestparam::validate(param);
}

QString DataModel::requestData(DataModelObserver* observer, const tagRequestParam& param, qint32 timeout)
{
    if (!observer || !acceptsObserver(observer)) {
        qWarning("DataModel: request without an observer of the class's protocol refused");
        return {};
    }
    const QString base = getRequestHandle(param);
    if (std::optional<QString> problem = checkParam(param)) {
        refuseLater(observer, base, param, *problem);
        return base;
    }

    QString handle;
    {
        std::lock_guard lock(observerLock_);
        if (std::optional<QString> joined = mergesEqualRequests() ? joinableHandle(base) : std::nullopt) {
            // An equal request is on its way: the observer moves to the end.
            Pending& pending = observerDict.at(*joined);
            std::erase_if(pending.observers,
                [&](const DataModelObserverRef& entry) { return entry.refersTo(observer) || !entry.get(); });
            pending.observers.push_back(DataModelObserverRef(observer));
            RequestLedger::joined(pending.asked);
            return *joined;
        }
        // An order, a fund order or a transfer is never joined to another
        // one; a read that may not join an equal one still waiting goes out
        // under a handle of its own.
        handle = base;
        if (!mergesEqualRequests())
            handle += QStringLiteral("\x1f#") + QString::number(++gHandleSerial);
        else if (observerDict.count(handle))
            handle += QStringLiteral("\x1f@") + QString::number(++gHandleSerial);
        // What goes out now ends the reads sent before it.
        if (endsEarlierReads())
            endEarlierReads();
        Pending& pending = observerDict[handle];
        pending.observers = { DataModelObserverRef(observer) };
        pending.param = param;
        pending.base = base;
        pending.epoch = readEpoch(serverKind_);
        pending.asked = RequestLedger::sent();
        if (mergesEqualRequests())
            latestOfBase_[base] = handle;
    }

    DMRequestParamObject object;
    object.setParam(param);
    object.setTimeout(timeout);
    object.setRequestHandle(requestIdentifier(handle));
    if (onMainThread()) {
        runRequest(object);
    } else {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { runRequest(object); }, Qt::BlockingQueuedConnection);
    }
    return handle;
}

std::optional<QString> DataModel::joinableHandle(const QString& base) const
{
    const auto latest = latestOfBase_.find(base);
    if (latest == latestOfBase_.end())
        return std::nullopt;
    const auto found = observerDict.find(latest->second);
    if (found == observerDict.end())
        return std::nullopt;
    // An equal action waiting is the same intent whatever came between; an
    // equal read that went out before an action on its server may not hold
    // what this ask is for.
    if (!changesState() && found->second.epoch != readEpoch(serverKind_))
        return std::nullopt;
    return found->first;
}

std::map<QString, DataModel::Pending>::node_type DataModel::extractLocked(
    std::map<QString, Pending>::iterator it)
{
    const auto latest = latestOfBase_.find(it->second.base);
    if (latest != latestOfBase_.end() && latest->second == it->first)
        latestOfBase_.erase(latest);
    return observerDict.extract(it);
}

void DataModel::runRequest(const DMRequestParamObject& object)
{
    request(object);
}

void DataModel::send(const DMRequestParamObject& object, const CSPacket& packet)
{
    // The network answers every request it is given, failures included.
    const quint64 timeout = quint64(std::max<qint64>(object.getTimeout(), 0));
    if (network) {
        network->sendRequestWithObserver(this, object.getRequestHandle(), &packet, timeout);
        return;
    }
    failRequest(object, getNetworkError(CSErrors::networkDisconnect()));
}

void DataModel::failRequest(const DMRequestParamObject& object, const CSError& error)
{
    if (std::optional<QString> handle = handleOfIdentifier(object.getRequestHandle())) {
        const Pending pending = takePending(*handle);
        handOut(pending, false, [&] { failWithError(*handle, pending.param, error, pending.observers); });
    }
}

void DataModel::refuseLater(
    DataModelObserver* observer, const QString& handle, const tagRequestParam& param, const QString& message)
{
    qWarning() << "DataModel: request refused:" << message;
    auto refused = std::make_shared<Pending>();
    refused->observers = { DataModelObserverRef(observer) };
    refused->param = param;
    // Told on a later pass of the main loop, never inside requestData.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, alive = aliveToken(), refused, handle, error = CSError { message, kRefusedRequestCode }] {
            if (!alive.expired())
                failWithError(handle, refused->param, error, refused->observers);
        },
        Qt::QueuedConnection);
}

void DataModel::serverReconnect(const platform::Notification& notification)
{
    // A post that names the other kind's server leaves this class's requests
    // alone: they are still on their way on a connection that stays.
    bool isKind = false;
    const int kind = notification.object.toInt(&isKind);
    if (notification.object.isValid() && isKind && serverKind_ >= 0 && kind != serverKind_)
        return;

    // A request the network never wrote goes out on the new connection; its
    // observers keep waiting for it.
    std::map<QString, Pending> dropped;
    {
        std::lock_guard lock(observerLock_);
        for (auto it = observerDict.begin(); it != observerDict.end();) {
            if (network && network->holdsUnwrittenRequest(this, requestIdentifier(it->first))) {
                ++it;
                continue;
            }
            dropped.insert(extractLocked(it++));
        }
    }
    if (network) {
        for (const auto& entry : dropped)
            network->removeRequestWithObserver(this, requestIdentifier(entry.first));
    }
    const CSError error = getNetworkError(CSErrors::networkDisconnect());
    std::weak_ptr<int> alive = aliveToken();
    // An action dropped here may have reached the server all the same: the
    // reads of its server sent before it answer an earlier question.
    if (!dropped.empty() && endsEarlierReads())
        endEarlierReads();
    for (const auto& entry : dropped) {
        const Pending& pending = entry.second;
        handOut(pending, false, [&] { failWithError(entry.first, pending.param, error, pending.observers); });
        if (alive.expired())
            return;
    }
}

void DataModel::cancelRequest(const QString& handle)
{
    if (network)
        network->removeRequestWithObserver(this, requestIdentifier(handle));
    removeObserverWithHandle(handle);
}

CSError DataModel::errorOfRow(VEKTCRS errorRow)
{
    errorRow.fetchFirst();
    const QString message = errorRow.toStringWithName(QStringLiteral("ER_String"));
    return { message.isEmpty() ? QStringLiteral("未知错误") : message,
        servernumber::Row(errorRow).wholeValue("errcode").value_or(0), true };
}

CSError DataModel::getNetworkError(const CSError& error)
{
    // The server's own refusal keeps its words, whatever number it carries.
    if (error.fromErrorRow)
        return error;
    switch (error.code) {
    case CSErrorRequestTimeout:
        return { QStringLiteral("请求超时"), error.code };
    case CSErrorSessionParam:
        return { QStringLiteral("session参数错误"), error.code };
    case CSErrorNetworkDisconnect:
        return { QStringLiteral("无法连接网络或者网络断开连接"), error.code };
    default:
        return error;
    }
}

void DataModel::removeObserverWithHandle(const QString& handle)
{
    std::lock_guard lock(observerLock_);
    if (auto found = observerDict.find(handle); found != observerDict.end())
        extractLocked(found);
}

void DataModel::removeAllObserver()
{
    std::lock_guard lock(observerLock_);
    observerDict.clear();
    latestOfBase_.clear();
}

DataModel::Pending DataModel::takePending(const QString& handle)
{
    std::lock_guard lock(observerLock_);
    Pending pending;
    if (auto found = observerDict.find(handle); found != observerDict.end()) {
        pending = std::move(extractLocked(found).mapped());
        // An action's answer, whatever it says, ends the reads sent before
        // it: a read asked from the callbacks goes out anew.
        if (endsEarlierReads())
            endEarlierReads();
    }
    return pending;
}

std::vector<DataModelObserver*> DataModel::observersOfHandle(const QString& handle) const
{
    std::lock_guard lock(observerLock_);
    std::vector<DataModelObserver*> out;
    if (auto found = observerDict.find(handle); found != observerDict.end()) {
        for (const DataModelObserverRef& entry : found->second.observers) {
            if (DataModelObserver* observer = entry.get())
                out.push_back(observer);
        }
    }
    return out;
}

std::size_t DataModel::pendingHandleCount() const
{
    std::lock_guard lock(observerLock_);
    return observerDict.size();
}

QString DataModel::getLastErrorMessage() const
{
    return lastErrorMessage;
}

qint64 DataModel::getLastErrorCode() const
{
    return lastErrorCode;
}

void DataModel::printFieldNameAndDesc(const VEKTCRS&)
{
}

void DataModel::printContent(const VEKTCRS&)
{
}

std::optional<QString> DataModel::handleOfIdentifier(const QString& identifier) const
{
    const qsizetype at = identifier.indexOf(id_DataModel, 0, Qt::CaseInsensitive);
    if (at < 0 || id_DataModel.isEmpty())
        return std::nullopt;
    return identifier.mid(at + id_DataModel.size() + 1);
}

bool DataModel::respondWithRecordSet(const std::vector<VEKTCRS>& recordSets, const QString& identifier)
{
    const std::optional<QString> handle = handleOfIdentifier(identifier);
    if (!handle)
        return true;
    // A reply without a record set would leave the handle blocked for ever.
    if (recordSets.empty()) {
        const Pending pending = takePending(*handle);
        handOut(pending, false, [&] {
            failWithError(*handle, pending.param, getNetworkError(CSErrors::serverNoData()), pending.observers);
        });
        return true;
    }

    if (recordSets.front().isErrorInfo()) {
        const CSError error = errorOfRow(recordSets.front());
        lastErrorMessage = error.domain;
        lastErrorCode = error.code;
        const Pending pending = takePending(*handle);
        handOut(pending, false, [&] { failWithError(*handle, pending.param, error, pending.observers); });
        return true;
    }

    printFieldNameAndDesc(recordSets.front());
    // Taken out before the fan-out, so an observer that asks again from its
    // callback sends a new request instead of joining one that has ended.
    const Pending pending = takePending(*handle);
    handOut(pending, true, [&] { completeWithRecordSets(*handle, pending.param, recordSets, pending.observers); });
    return true;
}

bool DataModel::respondWithError(const CSError& error, const QString& identifier)
{
    const std::optional<QString> handle = handleOfIdentifier(identifier);
    if (!handle)
        return true;
    const Pending pending = takePending(*handle);
    handOut(pending, false, [&] { failWithError(*handle, pending.param, getNetworkError(error), pending.observers); });
    return true;
}

void DataModel::completeWithRecordSets(
    const QString&, const tagRequestParam&, const std::vector<VEKTCRS>&, const ObserverList&)
{
}

void DataModel::failWithError(const QString&, const tagRequestParam&, const CSError&, const ObserverList&)
{
}
