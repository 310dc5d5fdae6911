#pragma once

#include "compliance/permissions/PermissionRecords.h"
#include "core/DataModelClass.h"
#include "core/TradeDataModel.h"

#include <optional>
#include <string_view>
#include <utility>

// The permission requests. The list is a fixed function; the agreement list,
// signing and the open request go where the server's links say: a link is
// pairs of key, "=" and value joined by "&", whose "tc_mfuncno" and
// "tc_sfuncno" name the function and whose other pairs follow the prefix.

LUMORA_DATA_MODEL_PROTOCOL(IQueryPermissionInfoDelegate, queryPermissionInfo, std::vector<RDOPermission>)
LUMORA_DATA_MODEL_PROTOCOL(IQueryPermissionContractDelegate, queryPermissionContract, PermissionContracts)
// The sign request's callbacks ("msg" of the reply on success).
LUMORA_DATA_MODEL_PROTOCOL(IPermissionSign, permissionSign, QString)
LUMORA_DATA_MODEL_PROTOCOL(IOpenPermissionAccessDelegate, openPermissionAccess, QString)

// A link taken apart.
struct PermissionLink {
    // Main and sub function; nullopt unless both are there and numbers.
    std::optional<std::pair<quint64, quint64>> functions;
    QString otherUrl; // every other pair, in order, joined by "&"
};
PermissionLink parsePermissionLink(std::string_view link);

// A request whose function and trailing pairs come from the link in the
// record's field `Link`. A link that is not printable ASCII or lacks a
// function number is refused before anything is sent, and the observer hears
// why, so nobody waits for a reply that cannot come.
template <class Derived, class Param, class Protocol, std::string Param::*Link>
class PermissionLinkDataModel : public DataModelClass<Derived, TradeDataModel, Param, Protocol> {
    using Base = DataModelClass<Derived, TradeDataModel, Param, Protocol>;

public:
    using Base::Base;

    static void body(const Param& p, RequestBody& b)
    {
        b.prefix(p.commonUrl);
        const QByteArray other = parsePermissionLink(p.*Link).otherUrl.toLatin1();
        if (!other.isEmpty())
            b.raw(std::string_view(other.constData(), size_t(other.size())));
    }
    static std::pair<quint64, quint64> functions(const Param& p)
    {
        return parsePermissionLink(p.*Link).functions.value_or(std::pair<quint64, quint64> { 0, 0 });
    }

protected:
    std::optional<QString> checkParam(const tagRequestParam& param) const override
    {
        if (const Param* member = param.template get<Param>()) {
            if (!isLinkText(member->*Link))
                return QStringLiteral("权限链接含有不允许的字符");
        }
        if (std::optional<QString> problem = Base::checkParam(param))
            return problem;
        if (!parsePermissionLink(param.template get<Param>()->*Link).functions)
            return QStringLiteral("权限链接缺少功能号，无法发送请求");
        return std::nullopt;
    }

private:
    static bool isLinkText(std::string_view link)
    {
        return std::all_of(link.begin(), link.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
    }
};

// The permission list: 500 / 209, the prefix alone.
class DMQueryPermissionInfo final : public DataModelClass<DMQueryPermissionInfo, TradeDataModel,
                                        tagPermissionInfoParam, IQueryPermissionInfoDelegate> {
public:
    static constexpr DataModelInfo info { "E64D7241-3594-13A4-AF9B-8A9F29F2BC57", 500, 209 };
    using DataModelClass::DataModelClass;
    static void body(const tagPermissionInfoParam& p, RequestBody& b) { b.prefix(p.commonUrl); }
    static Result reply(const std::vector<VEKTCRS>& sets) { return permissionsFromReply(sets); }
};

// The agreement steps of one permission.
class DMQueryPermissionContract final
    : public PermissionLinkDataModel<DMQueryPermissionContract, tagPermissionContractParam,
          IQueryPermissionContractDelegate, &tagPermissionContractParam::requestUrl> {
public:
    static constexpr DataModelInfo info { "9AA0DE8C-DCC3-27A8-E5D7-4570F1AA5254" };
    using PermissionLinkDataModel::PermissionLinkDataModel;
    static Result reply(const std::vector<VEKTCRS>& sets) { return permissionContractsFromReply(sets); }
};

// Signs one agreement: "msg" of the reply. The handle covers the link, so
// one agreement's answer never reaches the caller of another.
class DMPermissionSign final : public PermissionLinkDataModel<DMPermissionSign, tagPermissionSignParam,
                                   IPermissionSign, &tagPermissionSignParam::ans> {
public:
    static constexpr DataModelInfo info { "3212D734-93B4-E9C2-6F96-B0DD34E1CB7E", 0, 0, HandleRule::Fields,
        RequestEffect::Changes };
    using PermissionLinkDataModel::PermissionLinkDataModel;
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// What an open or close whose answer never came is told, after what left
// it open: the server may have changed the permission, as the list's status
// shows once it is read again.
inline constexpr char kPermissionAccessUnknownOutcome[] = "权限设置结果未知，请稍后查看权限开通状态确认";

// Opens (or closes) the permission: "~msgok" of the reply.
class DMOpenPermissionAccess final
    : public PermissionLinkDataModel<DMOpenPermissionAccess, tagPermissionAccessParam,
          IOpenPermissionAccessDelegate, &tagPermissionAccessParam::requestUrl> {
public:
    static constexpr DataModelInfo info { "CF42A82C-7FE9-BAEC-EAE1-231BD5D5D32E", 0, 0, HandleRule::Fields,
        RequestEffect::Changes };
    using PermissionLinkDataModel::PermissionLinkDataModel;
    static Result reply(const std::vector<VEKTCRS>& sets);

protected:
    // No answer in time, the connection lost, or no data: the server may have
    // opened (or closed) it. Its observers hear an unknown outcome, and the
    // list is owed until read again (OwedReads).
    void failWithError(const QString& handle, const tagRequestParam& param, const CSError& error,
        const DataModel::ObserverList& observers) override;
};

// Registers the classes above in the catalogue.
void registerPermissionDataModels();
