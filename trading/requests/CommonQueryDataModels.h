#pragma once

#include "core/DTTable.h"
#include "core/DataModelClass.h"
#include "core/TradeDataModel.h"

#include <memory>

// The queries that menu links describe: the link (enciphered as the menu
// model stores it) names the function, the pairs to pass on and the fields
// to hide ("unlist"); the answer is a plain table.

LUMORA_DATA_MODEL_PROTOCOL(ICommonQueryDelegate, commonQuery, std::shared_ptr<DTTable>)
LUMORA_DATA_MODEL_PROTOCOL(ICommonHistoricQueryDelegate, commonHistoricQuery, std::shared_ptr<DTTable>)

// A menu link taken apart.
struct CommonQueryLink {
    quint64 mFunc = 0;
    quint64 sFunc = 0;
    QString otherUrl; // the pairs passed on, as written, in order
    QStringList filterKeys; // from "unlist"

    // The link as the menu model keeps it; nullopt with the reason when it
    // does not decipher or names no function. A "tradehisquery" link holds a
    // set for today and one for the past, split at the first ":"; `today`
    // picks the set (its own "unlist" is ignored: the whole link's counts).
    static std::optional<CommonQueryLink> parse(
        const std::string& storedLink, QString* why = nullptr, std::optional<bool> today = std::nullopt);
    static QString decipher(const std::string& storedLink, bool* ok);
};

// The key the menu model stores links under.
inline constexpr char kMenuLinkKey[] = "7A31C0D2-5E88-4B19-A6F4-0C2D93E57B16";

// Shared by the three classes: a link without a readable function is refused
// before anything is sent.
template <class Derived, class Param, class Protocol>
class CommonQueryDataModelClass : public DataModelClass<Derived, TradeDataModel, Param, Protocol> {
public:
    using DataModelClass<Derived, TradeDataModel, Param, Protocol>::DataModelClass;

    static std::pair<quint64, quint64> functions(const Param& p)
    {
        const std::optional<CommonQueryLink> link = Derived::linkOf(p);
        return link ? std::pair { link->mFunc, link->sFunc } : std::pair<quint64, quint64> { 0, 0 };
    }
    // The table hides the fields of the link it answers.
    static typename Protocol::Result reply(const std::vector<VEKTCRS>& sets, const Param& p)
    {
        const std::optional<CommonQueryLink> link = Derived::linkOf(p);
        return std::make_shared<DTTable>(&sets.front(), link ? link->filterKeys : QStringList());
    }

protected:
    std::optional<QString> checkParam(const tagRequestParam& param) const override
    {
        QString why;
        if (const Param* member = param.template get<Param>(); member && !Derived::linkOf(*member, &why))
            return why;
        return DataModelClass<Derived, TradeDataModel, Param, Protocol>::checkParam(param);
    }
};

// "tradequery": the link's function, the prefix, then the link's pairs.
class DMCommonQuery final
    : public CommonQueryDataModelClass<DMCommonQuery, tagCommonQueryParam, ICommonQueryDelegate> {
public:
    static constexpr DataModelInfo info { "384AA84B-6D11-5190-E6BF-7478E792C4F1" };
    using CommonQueryDataModelClass::CommonQueryDataModelClass;
    static std::optional<CommonQueryLink> linkOf(const tagCommonQueryParam& p, QString* why = nullptr)
    {
        return CommonQueryLink::parse(p.link, why);
    }
    static void body(const tagCommonQueryParam& p, RequestBody& b);
};

// "hisquery": as the common query, with "strdate" and "enddate" after the prefix.
class DMCommonHistoricQuery final : public CommonQueryDataModelClass<DMCommonHistoricQuery,
                                        tagCommonHistoricQueryParam, ICommonHistoricQueryDelegate> {
public:
    static constexpr DataModelInfo info { "5ADAC1E8-54C2-1C89-4AE7-EE67F4968DDF" };
    using CommonQueryDataModelClass::CommonQueryDataModelClass;
    static std::optional<CommonQueryLink> linkOf(const tagCommonHistoricQueryParam& p, QString* why = nullptr)
    {
        return CommonQueryLink::parse(p.link, why);
    }
    static void body(const tagCommonHistoricQueryParam& p, RequestBody& b);
};

// "tradehisquery": the today set when both dates are today (China time),
// else the history set.
class DMCommonHistoricQueryEx final : public CommonQueryDataModelClass<DMCommonHistoricQueryEx,
                                          tagCommonHistoricQueryParam, ICommonHistoricQueryDelegate> {
public:
    static constexpr DataModelInfo info { "218D3D52-A954-1996-113F-E2E5CE018669" };
    using CommonQueryDataModelClass::CommonQueryDataModelClass;
    static std::optional<CommonQueryLink> linkOf(
        const tagCommonHistoricQueryParam& p, QString* why = nullptr);
    static void body(const tagCommonHistoricQueryParam& p, RequestBody& b);
    // getDateString: "yyyyMMdd" in China time.
    static QString getDateString(const QDate& date);
    static QString today();
};
