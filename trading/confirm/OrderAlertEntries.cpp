#include "trading/confirm/OrderAlertEntries.h"

#include "trading/requests/UnknownOutcomeWords.h"

#include <QString>
#include <QStringList>
#include <array>

namespace {

using Layout = OrderAlertEntryLayout::Layout;
using Record = OrderAlertEntryLayout::Record;
using E = OrderAlertEntry;

constexpr char kOrderTitle[] = "委托确认提示";
constexpr char kStockNames[] = "操作类别: \n股东信息: \n证券代码: \n证券名称: \n委托方式: \n委托价格: \n委托数量: ";
constexpr char kSeveralOrders[] = "\n确定要撤销选中的所有委托？";
constexpr char kBankNames[] = "\n业务类别: \n银行: \n币种: \n转账金额: ";

QRect names(int y, int h, int w = 165) { return QRect(0, y, w, h); }
QRect values(int y, int h, int x = 168, int w = 196) { return QRect(x, y, w, h); }

const std::array<OrderAlertEntryLayout, 25>& table()
{
    static const std::array<OrderAlertEntryLayout, 25> entries = { {
        { E::CommonBuy, 0, kOrderTitle, { 362, 300 }, Layout::Columns, names(80, 180), values(80, 180), "买入",
            "是否确认以上买入委托？", kStockNames, "买入委托\n%@\n%@\n%@\n%@\n%@\n%@", nullptr, Record::Stock },
        { E::CommonSell, 1, kOrderTitle, { 362, 300 }, Layout::Columns, names(80, 180), values(80, 180), "卖出",
            "是否确认以上卖出委托？", kStockNames, "卖出委托\n%@\n%@\n%@\n%@\n%@\n%@", nullptr, Record::Stock },
        { E::LGSell, 1, kOrderTitle, { 362, 300 }, Layout::Columns, names(80, 180), values(80, 180), "卖出",
            "是否确认以上零股卖出委托？", "操作类别: \n股东信息: \n证券代码: \n证券名称: \n委托价格: \n委托数量: ",
            "零股卖出委托\n%@\n%@\n%@\n%@\n%@", nullptr, Record::Stock },
        { E::ExerciseWarrant, 0, kOrderTitle, { 362, 300 }, Layout::Columns, names(80, 180), values(80, 180),
            "权证行权", "是否确认以上权证行权委托？",
            "操作类别: \n股东信息: \n行权代码: \n行权名称: \n行权价格: \n行权数量: ", "权证行权\n%@\n%@\n%@\n%@\n%@",
            nullptr, Record::Stock },
        { E::NewStockBuy, 3, kOrderTitle, { 362, 280 }, Layout::Columns, names(60, 180), values(60, 180), "申购",
            "是否确认以上新股申购委托？", "操作类别: \n股东信息: \n证券代码: \n证券名称: \n申购价格: \n申购数量: ",
            "新股申购\n%@\n%@\n%@\n%@元\n%@", nullptr, Record::Stock },
        { E::CancelOrder, 2, "委托撤单确认", { 362, 320 }, Layout::Columns, names(80, 200), values(80, 200), "撤单",
            "是否确认以上委托撤单？",
            "操作类别: \n股东信息: \n证券代码: \n证券名称: \n委托价格: \n委托数量: \n委托类型: \n委托序号: ",
            "委托撤单\n%@\n%@\n%@\n%@元\n%@\n%@\n%@", nullptr, Record::None },
        { E::CancelOrders, 2, kOrderTitle, { 362, 160 }, Layout::Message, {}, {}, "撤单", nullptr, nullptr, nullptr,
            kSeveralOrders, Record::None },
        { E::HGTVote, 16, kOrderTitle, { 362, 320 }, Layout::Columns, names(100, 180), values(100, 180), "申报",
            "是否确认以上投票申报？",
            "操作类别: \n股东信息: \n证券代码: \n证券名称: \n公告编号: \n议案编号: \n赞成数量: \n反对数量: \n弃权数量: ",
            "投票申报\n%@\n%@\n%@\n%@\n%@\n%@\n%@\n%@", nullptr, Record::Vote },
        { E::HGTOtherVote, 17, kOrderTitle, { 362, 300 }, Layout::Columns, names(80, 180), values(80, 180), "申报",
            "是否确认以上公司行为申报？",
            "操作类别: \n股东信息: \n证券代码: \n证券名称: \n业务类型: \n行为代码: \n投票数量: ",
            "公司行为申报\n%@\n%@\n%@\n%@\n%@\n%@", nullptr, Record::OtherVote },
        { E::CancelHGTOtherVote, 18, kOrderTitle, { 362, 300 }, Layout::Columns, names(70, 180), values(70, 180),
            "撤销", "是否确认以上公司行为申报撤销？",
            "操作类别: \n股东信息: \n证券代码: \n业务类型: \n行为代码: \n撤销数量: ",
            "公司行为申报撤销\n%@\n%@\n%@\n%@\n%@", nullptr, Record::OtherVote },
        { E::CancelOtherVotes, 2, kOrderTitle, { 362, 160 }, Layout::Message, {}, {}, "撤销", nullptr, nullptr,
            nullptr, "\n确定要撤销选中的所有公司行为申报？", Record::None },
        { E::SubscribeOpdFund, 4, "基金认购确认", { 362, 240 }, Layout::Columns, names(40, 180), values(40, 180),
            "认购", "是否确认以上基金认购委托？", "\n操作类别: \n基金代码: \n基金名称: \n认购金额: ",
            "\n基金认购\n%@\n%@\n%@元", nullptr, Record::None },
        { E::PurchaseOpdFund, 5, "基金申购确认", { 362, 240 }, Layout::Columns, names(40, 180), values(40, 180),
            "申购", "是否确认以上基金申购委托？", "\n操作类别: \n基金代码: \n基金名称: \n申购金额: ",
            "\n基金申购\n%@\n%@\n%@元", nullptr, Record::None },
        { E::RedeemOpdFund, 7, "基金赎回确认", { 362, 280 }, Layout::Columns, names(60, 180), values(60, 180),
            "赎回", "是否确认以上基金赎回委托？", "操作类别: \n基金代码: \n基金名称: \n赎回份额: \n巨额方式: ",
            "基金赎回\n%@\n%@\n%@份\n%@", nullptr, Record::None },
        { E::TransformOpdFund, 8, "基金转换确认", { 362, 280 }, Layout::Columns, names(60, 180), values(60, 180),
            "转换", "是否确认以上基金转换委托？",
            "操作类别: \n转出代码: \n转出名称: \n转入代码: \n转入名称: \n转换份额: ", "基金转换\n%@\n%@\n%@\n%@\n%@份",
            nullptr, Record::None },
        { E::BonusSetting, 9, "基金分红设置确认", { 362, 240 }, Layout::Columns, names(40, 180), values(40, 180),
            "设置", "是否确认以上基金分红设置委托？", "\n操作类别: \n基金代码: \n基金名称: \n分红方式: ",
            "\n基金分红设置\n%@\n%@\n%@", nullptr, Record::None },
        { E::InvestOntime, 10, "基金定投确认", { 362, 400 }, Layout::Columns, names(0, 360), values(0, 360), "定投",
            "是否确认以上基金定投委托？",
            "操作类别: \n基金代码: \n基金名称: \n收费方式: \n扣款周期: \n扣款日期: \n每期投资金额: \n期满条件: "
            "\n开始日期: \n结束日期: \n申请日期: ",
            "基金定投申请\n%@\n%@\n%@\n%@\n%@\n%@元\n%@\n%@\n%@\n%@", nullptr, Record::None },
        { E::OpdFundCancelOrder, 6, "基金撤单确认", { 362, 260 }, Layout::Columns, names(40, 180), values(40, 180),
            "撤单", "是否确认以上基金撤单委托？", "操作类别: \n基金代码: \n基金名称: \n买卖标志: \n委托编号: ",
            "基金撤单\n%@\n%@\n%@\n%@", nullptr, Record::None },
        { E::OpdFundCancelOrders, 2, "基金撤单确认", { 362, 160 }, Layout::Message, {}, {}, "撤单", nullptr,
            nullptr, nullptr, kSeveralOrders, Record::None },
        { E::OpdFundInvestOntimeCancelOrder, 11, "基金定投撤单确认", { 362, 400 }, Layout::Columns, names(0, 360),
            values(0, 360), "撤单", "是否确认以上基金定投撤单委托？",
            "操作类别: \n委托序号: \n基金代码: \n基金名称: \n扣款周期: \n扣款日期: \n定投金额: \n期满条件: "
            "\n开始日期: \n结束日期: \n申请日期: ",
            "基金定投撤单\n%@\n%@\n%@\n%@\n%@\n%@\n%@\n%@\n%@\n%@", nullptr, Record::None },
        { E::OpdFundInvestOntimeCancelOrders, 11, "基金定投撤单确认", { 362, 160 }, Layout::Message, {}, {}, "撤单",
            nullptr, nullptr, nullptr, kSeveralOrders, Record::None },
        { E::FundTransferBankToStock, 12, "银证转账交易确认", { 362, 240 }, Layout::Columns, names(40, 180, 135),
            values(40, 180, 138, 224), "转账", "是否确认以上银证转账交易委托？", kBankNames,
            "\n银行转证券\n%@\n%@\n%@", nullptr, Record::None },
        { E::FundTransferStockToBank, 13, "银证转账交易确认", { 362, 240 }, Layout::Columns, names(40, 180, 135),
            values(40, 180, 138, 224), "转账", "是否确认以上银证转账交易委托？", kBankNames,
            "\n证券转银行\n%@\n%@\n%@", nullptr, Record::None },
        { E::FundInsideTransfer, 14, "资金内转交易确认", { 362, 260 }, Layout::Columns, names(40, 180, 135),
            values(40, 180, 138, 224), "转账", "是否确认以上资金内转交易委托？",
            "业务类别: \n币种: \n转出账号: \n转入账号: \n转账金额: ", "资金账号内转\n%@\n%@\n%@\n%@", nullptr,
            Record::None },
        { E::FundCollection, 15, "资金归集确认提示", { 362, 220 }, Layout::Collection, {}, {}, "归集",
            "是否确认以上资金归集委托？", nullptr, nullptr,
            "      本次操作后, 资金于下一工作日方可从本公司转出。您确认将所有辅资金账号中的资金转移到账号: %@ 吗？",
            Record::None },
    } };
    return entries;
}

} // namespace

const OrderAlertEntryLayout& orderAlertEntryLayout(OrderAlertEntry entry)
{
    return table()[static_cast<std::size_t>(entry) - 1];
}

const char* orderAlertUnknownOutcome(OrderAlertEntry entry)
{
    switch (entry) {
    case E::CommonBuy:
    case E::CommonSell:
    case E::LGSell:
    case E::ExerciseWarrant:
    case E::NewStockBuy:
        return unknownoutcome::kOrder;
    case E::SubscribeOpdFund:
    case E::PurchaseOpdFund:
    case E::RedeemOpdFund:
    case E::TransformOpdFund:
    case E::BonusSetting:
    case E::InvestOntime:
        return unknownoutcome::kFundOrder;
    case E::CancelOrder:
    case E::CancelOrders:
        return unknownoutcome::kCancel;
    case E::OpdFundCancelOrder:
    case E::OpdFundCancelOrders:
    case E::OpdFundInvestOntimeCancelOrder:
    case E::OpdFundInvestOntimeCancelOrders:
        return unknownoutcome::kFundCancel;
    case E::HGTVote:
        return unknownoutcome::kVote;
    case E::HGTOtherVote:
        return unknownoutcome::kDeclaration;
    case E::CancelHGTOtherVote:
    case E::CancelOtherVotes:
        return unknownoutcome::kWithdrawal;
    case E::FundTransferBankToStock:
    case E::FundTransferStockToBank:
        return unknownoutcome::kBankTransfer;
    case E::FundInsideTransfer:
    case E::FundCollection:
        return unknownoutcome::kInsideTransfer;
    }
    return unknownoutcome::kOrder;
}

QString fillOrderAlertFormat(const char* format, const QStringList& arguments)
{
    const QString source = QString::fromUtf8(format ? format : "");
    QString out;
    qsizetype next = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = source.indexOf(QLatin1String("%@"), from);
        if (at < 0)
            break;
        out += source.mid(from, at - from);
        out += next < arguments.size() ? arguments.at(next) : QString();
        ++next;
        from = at + 2;
    }
    out += source.mid(from);
    return out;
}
