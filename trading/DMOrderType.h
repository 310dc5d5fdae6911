#pragma once

#include <QString>
#include <QStringList>

// The trading vocabulary of order types: the titles a security offers by
// market and class, and the order-type number a title stands for. The number
// is what travels; TradeDataModel turns it into the wire's "bsflag".
//
// Numbers: buy 0..9, sell 100..109, warrant exercise 200, Stock Connect
// 300..304. A title a lookup does not know falls back to the limit order
// (0 or 100).
class DMOrderType {
public:
    static constexpr qint32 kLimitBuy = 0;
    static constexpr qint32 kLimitSell = 100;
    static constexpr qint32 kAfterHoursBuy = 9;
    static constexpr qint32 kAfterHoursSell = 109;
    static constexpr qint32 kWarrantExercise = 200;

    // Market codes and class ids are read by their value ("1.000" is 1); a
    // text without a whole value reads as 0.
    static bool isKCBoard(const QString& classId);
    static bool isKCStock(const QString& classId);
    // Whether a market-price order of the class still carries a price.
    static bool supportPriceLimit(const QString& classId);
    // Whether an order type carries the price the user typed (0, 9, 100, 109, 200).
    static bool isPricedType(qint32 orderType);

    static QStringList getTitlesForReverseRepo();
    static QStringList getTitlesForHGTBuy();
    static QStringList getTitlesForHGTSell();
    static QStringList getTitlesForKCAfBuy();
    static QStringList getTitlesForKCAfSell();
    static QStringList getTitles(const QString& marketCode, const QString& classId);
    // getTitles:classId:isBuy: the list above with the KC board's after-hours
    // title appended for a KC board class, whatever the market.
    static QStringList getTitles(const QString& marketCode, const QString& classId, bool isBuy);

    // getOderTypeFlagOfBuy:classId:OrderTypeTitle:
    static qint32 getOderTypeFlagOfBuy(const QString& marketCode, const QString& classId, const QString& title);
    // getOderTypeFlagOfSale:classId:OrderTypeTitle:
    static qint32 getOderTypeFlagOfSale(const QString& marketCode, const QString& classId, const QString& title);

    // The odd-lot sell title of the Stock Connect, in no list.
    static QString oddLotSellTitle();
};
