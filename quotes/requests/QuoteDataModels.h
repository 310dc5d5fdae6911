#pragma once

#include "core/DataModelFactory.h"
#include "core/DataModelClass.h"
#include "core/QuoteDataModel.h"
#include "quotes/requests/QuoteRecords.h"

#include <vector>

class RequestSender;

// The quote server's requests: five-level quote, time-sharing, index ticker.
// All go with service 400; callers give them 5 seconds. Their handles begin
// with the current second and cover the code, so two pages that ask for
// different codes within one second each get their own reply.

LUMORA_DATA_MODEL_PROTOCOL(IQuoteOf5LevelDelegate, queryQuotesOf5Level, RDOQuotesOf5Level)
LUMORA_DATA_MODEL_PROTOCOL(IStockTimesharingInfoDelegate, queryTimesharingInfo, RDOStock)
LUMORA_DATA_MODEL_PROTOCOL(IQueryStockIndexInfoDelegate, queryStockIndexInfo, std::vector<RDOIndexInfo>)

// What the observers hear when a quote reply names another code than the one
// asked for: such a reply is dropped, never shown on the asking page.
CSError quoteCodeMismatchError();

// A quote request class whose reply must name the code it asked for.
// Derived gives `static QString askedCode(const Param&)` and
// `static QString replyCode(const std::vector<VEKTCRS>&)`.
template <class Derived, class Param, class Protocol>
class CodeCheckedQuoteModel : public DataModelClass<Derived, QuoteDataModel, Param, Protocol> {
    using Base = DataModelClass<Derived, QuoteDataModel, Param, Protocol>;

public:
    using Base::Base;

protected:
    void completeWithRecordSets(const QString& handle, const tagRequestParam& param,
        const std::vector<VEKTCRS>& recordSets, const DataModel::ObserverList& observers) override
    {
        const Param* member = param.template get<Param>();
        const QString asked = member ? Derived::askedCode(*member) : QString();
        if (!asked.isEmpty() && asked == Derived::replyCode(recordSets))
            Base::completeWithRecordSets(handle, param, recordSets, observers);
        else
            Base::failWithError(handle, param, quoteCodeMismatchError(), observers);
    }
};

// Five-level quote: 1000 / 1.
class DMQuote5Level final
    : public CodeCheckedQuoteModel<DMQuote5Level, tagQuote5LevelParam, IQuoteOf5LevelDelegate> {
public:
    static constexpr DataModelInfo info { "28C93E8C-3CD3-B2AE-BFEF-AC984A09552A", 1000, 1, HandleRule::Time,
        RequestEffect::Reads, false, 400 };
    using CodeCheckedQuoteModel::CodeCheckedQuoteModel;
    static void body(const tagQuote5LevelParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets) { return RDOQuotesOf5Level(&sets.front()); }
    // A code may be asked with its exchange ("00700.6"); the reply names the
    // code alone.
    static QString askedCode(const tagQuote5LevelParam& p)
    {
        return QString::fromStdString(p.code).section(QLatin1Char('.'), 0, 0);
    }
    static QString replyCode(const std::vector<VEKTCRS>& sets);
};

// The same quote through 1100 / 1 ("exclude=2"); the one the trading pages use.
class DMQuote5LevelEx final
    : public CodeCheckedQuoteModel<DMQuote5LevelEx, tagQuote5LevelParam, IQuoteOf5LevelDelegate> {
public:
    static constexpr DataModelInfo info { "EAB93FD6-2390-5602-5864-5841CF64DA06", 1100, 1, HandleRule::Time,
        RequestEffect::Reads, false, 400 };
    using CodeCheckedQuoteModel::CodeCheckedQuoteModel;
    static void body(const tagQuote5LevelParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets) { return DMQuote5Level::reply(sets); }
    static QString askedCode(const tagQuote5LevelParam& p) { return DMQuote5Level::askedCode(p); }
    static QString replyCode(const std::vector<VEKTCRS>& sets) { return DMQuote5Level::replyCode(sets); }
};

// Time-sharing: 1100 / 24 with the query code ("600000.2"); the reply's
// header names the code without the exchange.
class DMStockTimesharingInfo final
    : public CodeCheckedQuoteModel<DMStockTimesharingInfo, tagQuotaInfoParam, IStockTimesharingInfoDelegate> {
public:
    static constexpr DataModelInfo info { "24C71AE9-7311-BD4B-8AED-2899FA151600", 1100, 24, HandleRule::Time,
        RequestEffect::Reads, false, 400 };
    using CodeCheckedQuoteModel::CodeCheckedQuoteModel;
    static void body(const tagQuotaInfoParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets) { return RDOStock(sets); }
    static QString askedCode(const tagQuotaInfoParam& p);
    static QString replyCode(const std::vector<VEKTCRS>& sets);
};

// Index ticker: function numbers and body come from the menu's ticker link
// (stored enciphered). An empty link, or one without "?", sends 0 / 0 with an
// empty body; a link that does not decipher, or names a function number that
// is no whole number ("", "8x", "8.5"), is refused before sending.
class DMQueryStockIndexInfo final : public DataModelClass<DMQueryStockIndexInfo, QuoteDataModel,
                                        tagPMDIndexInfoParam, IQueryStockIndexInfoDelegate> {
public:
    static constexpr DataModelInfo info { "166B86AA-F4E0-34F1-FE37-F6F66C2E0458", 0, 0, HandleRule::Time,
        RequestEffect::Reads, false, 400 };
    // The key the menu model stores links under.
    static constexpr char kLinkKey[] = "7A31C0D2-5E88-4B19-A6F4-0C2D93E57B16";
    using DataModelClass::DataModelClass;

    struct Link {
        quint64 mFunc = 0;
        quint64 sFunc = 0;
        QString body; // the pairs other than the function numbers, as written
    };
    // The request a stored link names; nullopt, and in `why` the reason,
    // when it names none.
    static std::optional<Link> parseLink(const std::string& storedLink, QString* why = nullptr);

    // Sends the ticker's request for a stored link through `sender`; answers
    // why nothing was sent (no link, a link too long), or "".
    static QString send(
        RequestSender& sender, IQueryStockIndexInfoDelegate* observer, const QString& link, qint32 timeout);

    static void body(const tagPMDIndexInfoParam& p, RequestBody& b);
    static std::pair<quint64, quint64> functions(const tagPMDIndexInfoParam& p);
    static Result reply(const std::vector<VEKTCRS>& sets);

protected:
    std::optional<QString> checkParam(const tagRequestParam& param) const override;
};

// Registers the classes above in the catalogue.
void registerQuotesDataModels();
LUMORA_REGISTER_DATA_MODELS(registerQuotesDataModels)
