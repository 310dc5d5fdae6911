#pragma once

// What the customer is told of an action whose answer never came, by kind
// of action: the server may or may not have taken it. The confirmation's
// time limit tells these words, and a request's own unknown outcome ends
// with them, so the two never say it differently. Only an order is told
// not to be placed again.
namespace unknownoutcome {

// Share orders and their cancels: 当日委托 lists them.
inline constexpr char kOrder[] = "委托结果未知，请查询当日委托确认，切勿重复下单";
inline constexpr char kCancel[] = "撤单结果未知，请查询当日委托确认";
// Fund orders (subscription, purchase, redemption, transform, dividend
// setting, investment plan) and their cancels: 当日委托 shows no fund order,
// and what lists one is the broker's menu's to name, so no page is named.
inline constexpr char kFundOrder[] = "基金委托结果未知，请查询确认，切勿重复下单";
inline constexpr char kFundCancel[] = "基金撤单结果未知，请查询确认";
// The Stock Connect meeting vote, the corporate-action declaration and its
// withdrawal.
inline constexpr char kVote[] = "投票申报结果未知，请稍后查询确认，切勿重复申报";
inline constexpr char kDeclaration[] = "公司行为申报结果未知，请查询公司行为申报确认，切勿重复申报";
inline constexpr char kWithdrawal[] = "公司行为申报撤销结果未知，请查询公司行为申报确认";
// Bank to securities and securities to bank.
inline constexpr char kBankTransfer[]
    = "未收到转账结果，转账可能已经提交。请查看转账流水确认，切勿重复转账。";
// Between the customer's own capital accounts, and the fund collection.
inline constexpr char kInsideTransfer[]
    = "未收到资金账号间转账的结果，转账可能已经完成。请查看资金账号的余额确认，切勿重复提交。";

} // namespace unknownoutcome
