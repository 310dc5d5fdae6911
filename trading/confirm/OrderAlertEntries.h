#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <QSize>
#include <cstdint>

// What each confirmation entry puts into the dialog. The entries differ only
// in these data; one controller shows any of them.
enum class OrderAlertEntry : std::uint8_t {
    CommonBuy = 1,
    CommonSell,
    LGSell,
    ExerciseWarrant,
    NewStockBuy,
    CancelOrder,
    CancelOrders,
    HGTVote,
    HGTOtherVote,
    CancelHGTOtherVote,
    CancelOtherVotes,
    SubscribeOpdFund,
    PurchaseOpdFund,
    RedeemOpdFund,
    TransformOpdFund,
    BonusSetting,
    InvestOntime,
    OpdFundCancelOrder,
    OpdFundCancelOrders,
    OpdFundInvestOntimeCancelOrder,
    OpdFundInvestOntimeCancelOrders,
    FundTransferBankToStock,
    FundTransferStockToBank,
    FundInsideTransfer,
    FundCollection,
};

struct OrderAlertEntryLayout {
    enum class Layout : std::uint8_t {
        Columns, // names and values columns with the question
        Message, // a several-orders cancel: only the message
        Collection, // the fund collection: the message, question kept
    };
    enum class Record : std::uint8_t { None, Stock, Vote, OtherVote };

    OrderAlertEntry entry;
    std::int32_t dialogType;
    const char* windowTitle;
    QSize windowSize;
    Layout layout;
    QRect namesFrame; // content area, origin lower-left
    QRect valuesFrame;
    const char* confirmTitle;
    const char* question; // null: the entry leaves it as it was
    const char* namesText;
    const char* valuesFormat; // "%@" placeholders filled in order
    const char* message;
    Record record;
};

// The layout of an entry; every entry has one.
const OrderAlertEntryLayout& orderAlertEntryLayout(OrderAlertEntry entry);
// What the relay of an action confirmed in `entry` tells when the dialog's
// time limit passes with its answer still out: the words of its kind (an
// order, a cancel, a vote, a transfer...).
const char* orderAlertUnknownOutcome(OrderAlertEntry entry);
// Fills each "%@" of `format` with the next argument, unchanged (texts that
// hold "%" or "%1" stay as typed); missing arguments give "".
QString fillOrderAlertFormat(const char* format, const QStringList& arguments);
