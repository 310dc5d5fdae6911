#pragma once

#include "comm/request/CSError.h"
#include "comm/request/CSNetworkObserver.h"
#include "core/DMRequestParamObject.h"
#include "core/DataModelObserver.h"
#include "core/RequestLedger.h"
#include "core/RequestParam.h"

#include <QString>
#include <QtGlobal>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class CSNetwork;
class CSPacket;
class DMNotificationCenter;
class INetworkFactory;
class VEKTCRS;
namespace platform {
struct Notification;
}

// The base of every request class. It files the callers (observers) of a
// request under a request handle, merges equal pending requests, formats and
// sends the request on the main thread, turns the network's answer into a
// result or an error value and calls each observer once. Request classes
// are declared with DataModelClass (core/DataModelClass.h).
class DataModel : public CSNetworkObserver {
public:
    using ObserverList = std::vector<DataModelObserverRef>;

    static constexpr int32_t kServerReconnect = 0; // DMNotificationCenter type
    // Error value of a request refused before sending (a parameter that does
    // not fit its field or its body); the message says which.
    static constexpr qint64 kRefusedRequestCode = CSErrorBuildPacket;

    // init: the identifier is the class's GUID; the factory defaults to the
    // shared NetworkFactory.
    explicit DataModel(QString identifier, INetworkFactory* networkCreator = nullptr);
    ~DataModel() override; // dealloc
    DataModel(const DataModel&) = delete;
    DataModel& operator=(const DataModel&) = delete;

    // mallocParam: makes this class's member record the active one, empty,
    // with room for its texts. freeParam: wipes the record's texts and leaves
    // no member active. Both do nothing in DataModel.
    virtual void mallocParam(tagRequestParam* param);
    virtual void freeParam(tagRequestParam* param);
    // request: formats the body and sends it. Does nothing in DataModel.
    virtual void request(const DMRequestParamObject& object);
    // serverReconnect: pending observers hear error 300, then are dropped;
    // those of a request the network still holds unwritten keep waiting.
    void serverReconnect(const platform::Notification& notification);
    // getRequestHandle: "fixed" in DataModel.
    virtual QString getRequestHandle(const tagRequestParam& param) const;
    // requestData:RequestParameter:Timeout: files the observer with the
    // latest equal request still waiting and answers its handle (for a read:
    // only one that went out since the last action on its server, see
    // endsEarlierReads); otherwise sends the request and answers a handle no
    // other request waiting has. An order, a fund order or a transfer always
    // goes on the wire under a handle of its own. A handle is opaque: callers
    // compare it for equality, and nothing is read back out of its text. A
    // record that does not fit the class is refused: the observer hears error
    // kRefusedRequestCode on the next pass. An observer that is null or does
    // not speak the class's protocol is refused at once (empty handle,
    // nothing sent).
    QString requestData(DataModelObserver* observer, const tagRequestParam& param, qint32 timeout);
    // cancelRequest: the network forgets the request; nobody hears of it.
    void cancelRequest(const QString& handle);
    // getNetworkError: the library's codes 6, 101 and 300 as user messages;
    // an error row's message stays as the server sent it.
    static CSError getNetworkError(const CSError& error);
    // What an error row says: its "ER_String" ("未知错误" when missing or
    // empty), and its "errcode" by value ("90001.000" is 90001; 0 when it
    // has no whole value).
    static CSError errorOfRow(VEKTCRS errorRow);
    void removeObserverWithHandle(const QString& handle);
    void removeAllObserver();
    QString getLastErrorMessage() const;
    qint64 getLastErrorCode() const;
    // Diagnostic hooks; they do nothing.
    virtual void printFieldNameAndDesc(const VEKTCRS& recordSet);
    virtual void printContent(const VEKTCRS& recordSet);

    const QString& identifier() const { return id_DataModel; }
    std::shared_ptr<CSNetwork> getNetwork() const { return network; }
    // The server kind this class sends to: 0 quote, 1 trade, -1 none.
    int32_t serverKind() const { return serverKind_; }
    // Orders, cancels, transfers, password changes, signing, votes.
    virtual bool changesState() const { return false; }
    // False for orders, fund orders and transfers alone: a second equal one
    // is the customer's second intent.
    virtual bool mergesEqualRequests() const { return true; }
    // Whether sending this request, and its answer, make every read of its
    // server waiting at that moment an answer to an earlier question: an
    // equal read asked later goes on the wire again rather than join one sent
    // before. True for whatever changes state. Reads of the other server stay
    // joinable: an order changes nothing a quote says.
    virtual bool endsEarlierReads() const { return changesState(); }
    // The number of such moments so far on a server kind (0 quote, 1 trade,
    // -1 none) in this process (tests, diagnostics).
    static quint64 readEpoch(int32_t serverKind);
    // What an answer lacks that the success needs (an order number, a
    // serial), by the class's own rule; nullopt when nothing is missing or the
    // class asks nothing of its answer.
    virtual std::optional<QString> answerLacks(const std::vector<VEKTCRS>& recordSets) const
    {
        (void)recordSets;
        return std::nullopt;
    }
    // "<class identifier>|<handle>", the identifier the network files it under.
    QString requestIdentifier(const QString& handle) const;

    // The live observers waiting for a handle, in order (tests, diagnostics).
    std::vector<DataModelObserver*> observersOfHandle(const QString& handle) const;
    std::size_t pendingHandleCount() const;

    // CSNetworkObserver: the network's answers.
    bool respondWithRecordSet(const std::vector<VEKTCRS>& recordSets, const QString& identifier) override;
    bool respondWithError(const CSError& error, const QString& identifier) override;

protected:
    // Whether the observer speaks this class's observer protocol.
    virtual bool acceptsObserver(DataModelObserver* observer) const;
    // Why the record cannot be sent by this class; nullopt when it can. The
    // DataModel checks the field lengths.
    virtual std::optional<QString> checkParam(const tagRequestParam& param) const;
    // The fan-outs: the completion builds the result from a reply that is no
    // error row and calls every observer; the error calls only the observers
    // that implement the error operation. `param` is the record the request
    // was sent with (empty when no request waits under the handle): a reply
    // is built from it, never from the handle's text. Both do nothing in
    // DataModel.
    virtual void completeWithRecordSets(const QString& handle, const tagRequestParam& param,
        const std::vector<VEKTCRS>& recordSets, const ObserverList& observers);
    virtual void failWithError(const QString& handle, const tagRequestParam& param, const CSError& error,
        const ObserverList& observers);

    // Sends a packet for the carrier; when the network cannot file it, the
    // handle's observers hear the error.
    void send(const DMRequestParamObject& object, const CSPacket& packet);
    // The carrier's request cannot be sent: its handle's observers hear why.
    void failRequest(const DMRequestParamObject& object, const CSError& error);
    // A request waiting for its answer: its observers and a copy of the
    // record it was sent with, wiped when it goes (it may hold passwords).
    struct Pending {
        Pending() = default;
        Pending(Pending&&) noexcept = default;
        Pending& operator=(Pending&&) noexcept = default;
        ~Pending();
        ObserverList observers;
        tagRequestParam param;
        QString base; // the handle its record gives (getRequestHandle)
        quint64 epoch = 0; // readEpoch() of its server kind when it went out
        RequestLedger::Request asked; // its place among the requests sent, and whom it was for
    };
    // Takes the handle's request out of the waiting ones (empty observers and
    // record when none waits).
    Pending takePending(const QString& handle);
    // Stays valid while the object lives: a fan-out stops when an observer
    // destroyed the request object.
    std::weak_ptr<int> aliveToken() const { return lifetimeToken(); }
    void setNetwork(std::shared_ptr<CSNetwork> value, int32_t kind);

    QString id_DataModel;
    QString lastErrorMessage;
    qint64 lastErrorCode = 0;
    INetworkFactory* networkCreator;
    std::shared_ptr<CSNetwork> network;
    DMNotificationCenter* notificationCenter;

private:
    std::optional<QString> handleOfIdentifier(const QString& identifier) const;
    // Hands `pending`'s answer to its observers through `fanOut`, the
    // ledger naming its request meanwhile (a request waiting under the
    // handle; none: nothing is named).
    template <class FanOut> static void handOut(const Pending& pending, bool withRows, FanOut&& fanOut);
    void refuseLater(DataModelObserver* observer, const QString& handle, const tagRequestParam& param,
        const QString& message);
    void runRequest(const DMRequestParamObject& object);
    // Ends every read of this class's server kind sent so far as a merge
    // target for later asks.
    void endEarlierReads() const;
    // The handle of the request waiting that an equal ask with the record's
    // handle `base` joins, if any. Called with observerLock_ held.
    std::optional<QString> joinableHandle(const QString& base) const;
    // Removes a waiting request, and its entry in latestOfBase_. Called with
    // observerLock_ held.
    std::map<QString, Pending>::node_type extractLocked(std::map<QString, Pending>::iterator it);

    mutable std::mutex observerLock_; // observerDict may be touched off the main thread

    std::map<QString, Pending> observerDict;
    // For a record's handle, the handle of the latest request sent for it
    // that still waits: the only one an equal ask may join.
    std::map<QString, QString> latestOfBase_;
    int32_t serverKind_ = -1;
};
