#pragma once

#include "comm/request/CSPacket.h"
#include "comm/recordset/VEKTCRS.h"
#include "core/DataModel.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// How a request class forms its request handle. Every rule covers all the
// fields of the class's member record (so different parameters never share
// a reply); Fixed puts "fixed" and Time the current second ("%llu") first.
enum class HandleRule { Fields, Fixed, Time };

// What a request does on the server, which decides whether an equal request
// still waiting takes its caller in.
enum class RequestEffect {
    Reads, // queries: merge with an equal one waiting
    Changes, // cancels, signs, votes, settings, password changes: merge as queries do
    NewIntent, // orders, fund orders, transfers: a second equal one is a second intent, never merged
};

// What tells one request class from another.
struct DataModelInfo {
    const char* identifier; // the class's GUID, also its catalogue key
    quint64 mFunc = 0;
    quint64 sFunc = 0;
    HandleRule handle = HandleRule::Fields;
    RequestEffect effect = RequestEffect::Reads;
    bool session = false; // the packet's session flag
    quint64 service = CSPacket::kDefaultService;
    // A read whose answer the server changes by answering it (a bank balance
    // query adds the history row the page reads next): it ends earlier reads
    // as an action does, yet merges with an equal one.
    bool endsEarlierReads = false;

    constexpr bool changesState() const { return effect != RequestEffect::Reads; }
    constexpr bool mergesEqualRequests() const { return effect != RequestEffect::NewIntent; }
};

// The body of a request: pairs of key, "=" and value joined by "&". Every
// value is checked before it goes in: printable ASCII without "&" and "=", so
// no value can add or rewrite a field (texts that may hold other characters
// are percent-escaped by the caller). A value that fails makes the body
// refused; error() says why.
class RequestBody {
public:
    RequestBody() = default;
    RequestBody(const RequestBody&) = default;
    RequestBody& operator=(const RequestBody&) = default;
    // Bodies carry passwords: the text is wiped when the body goes.
    ~RequestBody();
    // The account's common prefix (commonUrl) that trade bodies begin with:
    // pairs already, as UTF-8. Characters other than ASCII are percent-escaped
    // as UTF-8 (never replaced); a control character makes the body refused.
    RequestBody& prefix(std::string_view commonUrl);
    RequestBody& add(std::string_view key, std::string_view value);
    RequestBody& add(std::string_view key, qint64 value);
    // Pairs from a trusted place (a menu link's "otherUrl"), appended whole;
    // printable ASCII.
    RequestBody& raw(std::string_view pairs);
    // The same as the last part of a body that always has one: the "&" before
    // it is written even when `pairs` is empty, so the body then ends with "&".
    RequestBody& passThrough(std::string_view pairs);

    const std::optional<QString>& error() const { return error_; }
    QString text() const { return QString::fromLatin1(text_.data(), qsizetype(text_.size())); }

    // Whether a value may go into a body as it is.
    static bool isSafeValue(std::string_view value);

private:
    void append(std::string_view piece);
    void fail(std::string_view what);

    std::string text_;
    std::optional<QString> error_;
};

// Declares an observer protocol: the required completion operation and the
// optional error operation, both named after the request's verb and told
// apart by their last argument. The error operation answers whether it is
// implemented (the default answers false), so only observers that implement
// it hear errors. An observer that implements only the completion may want
// `using Protocol::verb;` to keep the other overload visible.
#define LUMORA_DATA_MODEL_PROTOCOL(Protocol, verb, ResultType)                                               \
    class Protocol : public virtual DataModelObserver {                                                      \
    public:                                                                                                  \
        using Result = ResultType;                                                                           \
        virtual void verb(DataModel* request, const QString& requestHandle, const Result& result) = 0;       \
        virtual bool verb(DataModel* request, const QString& requestHandle, const CSError& error)            \
        {                                                                                                    \
            return false;                                                                                    \
        }                                                                                                    \
        static void complete(Protocol& o, DataModel* r, const QString& h, const Result& v)                   \
        {                                                                                                    \
            o.verb(r, h, v);                                                                                 \
        }                                                                                                    \
        static bool error(Protocol& o, DataModel* r, const QString& h, const CSError& e)                     \
        {                                                                                                    \
            return o.verb(r, h, e);                                                                          \
        }                                                                                                    \
    };

// Tells an observer of `Protocol`, on a later pass of the main loop, that the
// request class `identifier` is not in the catalogue, so its request was not
// sent: error kRefusedRequestCode, the request handle empty, no request
// object. A caller whose catalogue lookup came back empty calls it, so that
// the request never vanishes silently. Nothing reaches an observer that is
// gone by then.
template <class Protocol> void refuseMissingClass(Protocol* observer, const char* identifier)
{
    const QString message = QStringLiteral("请求类未注册：%1").arg(QLatin1String(identifier));
    qWarning() << "DataModel:" << message;
    if (!observer || !QCoreApplication::instance())
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [ref = DataModelObserverRef(observer), message] {
            if (auto* target = dynamic_cast<Protocol*>(ref.get()))
                Protocol::error(
                    *target, nullptr, QString(), CSError { message, DataModel::kRefusedRequestCode });
        },
        Qt::QueuedConnection);
}

// One request class, described by data. Derived gives:
//   static constexpr DataModelInfo info { identifier, mFunc, sFunc, ... };
//   static void body(const Param&, RequestBody&);        the body format
//   static Result reply(const std::vector<VEKTCRS>&);    the result of a reply
//                                                         (never empty, never an error row)
// or, where the result depends on what was asked,
//   static Result reply(const std::vector<VEKTCRS>&, const Param&);
// and, where a success needs a field, may give
//   static std::optional<QString> lacking(const Result&); what the reply lacks
//                                                         (observers hear an error)
// and may hide `functions(const Param&)` when its function numbers depend on
// the record. Base is TradeDataModel or QuoteDataModel (or another class).
template <class Derived, class Base, class Param, class Protocol> class DataModelClass : public Base {
public:
    using Result = typename Protocol::Result;
    using ParamType = Param;

    explicit DataModelClass(INetworkFactory* networkCreator = nullptr)
        : Base(QString::fromLatin1(Derived::info.identifier), networkCreator)
    {
    }

    void mallocParam(tagRequestParam* param) override
    {
        if (!param)
            return;
        requestparam::wipe(*param);
        Param& member = param->value.template emplace<Param>();
        // Room for the longest text, so filling it never leaves a copy behind.
        requestparam::forEachField(
            member, [](const char*, std::string& value, std::size_t size, bool) { value.reserve(size); },
            [](const char*, auto&) {});
    }

    void freeParam(tagRequestParam* param) override
    {
        if (!param)
            return;
        requestparam::wipe(*param);
        param->value = std::monostate {};
    }

    QString getRequestHandle(const tagRequestParam& param) const override
    {
        QString prefix;
        if (Derived::info.handle == HandleRule::Fixed)
            prefix = QStringLiteral("fixed");
        else if (Derived::info.handle == HandleRule::Time)
            prefix = QString::number(quint64(QDateTime::currentSecsSinceEpoch()));
        return requestparam::handleText(prefix, param);
    }

    bool changesState() const override { return Derived::info.changesState(); }
    bool mergesEqualRequests() const override { return Derived::info.mergesEqualRequests(); }
    bool endsEarlierReads() const override
    {
        return Derived::info.changesState() || Derived::info.endsEarlierReads;
    }

    std::optional<QString> answerLacks(const std::vector<VEKTCRS>& recordSets) const override
    {
        if constexpr (requires(const Result& r) { Derived::lacking(r); })
            return recordSets.empty() ? std::optional<QString>(QStringLiteral("应答没有记录集"))
                                      : Derived::lacking(Derived::reply(recordSets));
        return std::nullopt;
    }

    void request(const DMRequestParamObject& object) override
    {
        QString message = QStringLiteral("参数记录不属于此请求");
        const Param* member = object.getParam().template get<Param>();
        if (std::optional<CSPacket> packet = member ? makePacket(*member, &message) : std::nullopt)
            this->send(object, *packet);
        else
            this->failRequest(object, { message, DataModel::kRefusedRequestCode });
    }

    // The packet of a record; nullopt (and why in `message`) when its body
    // cannot be formatted.
    static std::optional<CSPacket> makePacket(const Param& member, QString* message = nullptr)
    {
        RequestBody body;
        Derived::body(member, body);
        if (body.error()) {
            if (message)
                *message = *body.error();
            return std::nullopt;
        }
        const auto [mFunc, sFunc] = Derived::functions(member);
        CSPacket packet(mFunc, sFunc, body.text());
        packet.setSession(Derived::info.session);
        packet.setService(Derived::info.service);
        return packet;
    }

    static std::pair<quint64, quint64> functions(const Param&)
    {
        return { Derived::info.mFunc, Derived::info.sFunc };
    }

protected:
    bool acceptsObserver(DataModelObserver* observer) const override
    {
        return dynamic_cast<Protocol*>(observer) != nullptr;
    }

    std::optional<QString> checkParam(const tagRequestParam& param) const override
    {
        if (std::optional<QString> problem = Base::checkParam(param))
            return problem;
        const Param* member = param.template get<Param>();
        if (!member)
            return QStringLiteral("参数记录不属于此请求");
        QString message;
        if (!makePacket(*member, &message))
            return message;
        return std::nullopt;
    }

    // The result of a reply to a request sent with `member`.
    static Result replyTo(const std::vector<VEKTCRS>& recordSets, const Param& member)
    {
        if constexpr (requires { Derived::reply(recordSets, member); })
            return Derived::reply(recordSets, member);
        else
            return Derived::reply(recordSets);
    }

    void completeWithRecordSets(const QString& handle, const tagRequestParam& param,
        const std::vector<VEKTCRS>& recordSets, const DataModel::ObserverList& observers) override
    {
        const Param* member = param.template get<Param>();
        if (!member) {
            this->failWithError(handle, param,
                { QStringLiteral("参数记录不属于此请求"), DataModel::kRefusedRequestCode }, observers);
            return;
        }
        const Result result = replyTo(recordSets, *member);
        // A reply without what its success needs (an order number, a serial)
        // is an error, never a success with a blank.
        if constexpr (requires { Derived::lacking(result); }) {
            if (const std::optional<QString> missing = Derived::lacking(result)) {
                this->failWithError(handle, param, { *missing, CSErrorServerNoData }, observers);
                return;
            }
        }
        const std::weak_ptr<int> alive = this->aliveToken();
        for (const DataModelObserverRef& entry : observers) {
            if (auto* observer = dynamic_cast<Protocol*>(entry.get())) {
                Protocol::complete(*observer, this, handle, result);
                if (alive.expired())
                    return;
            }
        }
    }

    void failWithError(const QString& handle, const tagRequestParam&, const CSError& error,
        const DataModel::ObserverList& observers) override
    {
        const std::weak_ptr<int> alive = this->aliveToken();
        for (const DataModelObserverRef& entry : observers) {
            if (auto* observer = dynamic_cast<Protocol*>(entry.get())) {
                Protocol::error(*observer, this, handle, error);
                if (alive.expired())
                    return;
            }
        }
    }
};
