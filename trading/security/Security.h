#pragma once

#include "comm/recordset/ServerNumber.h"
#include "quotes/requests/QuoteRecords.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

struct RDONewStock;

// One tradable security as the trading pages and the quote panel see it:
// identity, the latest quote with its five-level book, the day's minutes for
// the time-sharing chart and, for a new issue, its subscription rules. Every
// text and colour shown for it comes from here, so each kind of security
// shows its own units and words. Made and kept by StockManager (one per
// code), or bare by an order page. Main thread only.
//
// Prices are doubles that carry the server's text for display and colour
// comparison only; quantities and amounts are 64-bit.
class Security {
public:
    static constexpr int kLevels = RDOQuotesOf5Level::kLevels;
    // A price below this counts as no price ("--").
    static constexpr double kNoPrice = 0.00001;

    Security() = default;
    virtual ~Security() = default;
    Security(const Security&) = delete;
    Security& operator=(const Security&) = delete;

    // --- Updates: each overwrites its own fields only ---
    void setQuotesOf5Level(const RDOQuotesOf5Level& record);
    void setTimesharingInfo(const RDOStock& record);
    void setNewStockInfo(const RDONewStock& record);

    // --- Derived values (raised by the time-sharing update) ---
    double subPriceOfMaxAndClosing() const { return subPriceOfMaxAndClosing_; }
    qint64 maxVolume() const { return maxVolume_; } // largest minute amount seen
    qint64 maxTurnover() const { return maxTurnover_; } // largest minute quantity seen

    // --- Class-wide display state ---
    // setQuoteColorType: 0 rises red and falls green, 1 the other way round;
    // any other scheme changes nothing. The colours are the shared
    // TableStyle's: setting the scheme here sets it there.
    static void setQuoteColorType(qint32 scheme);
    static QColor upsColor();
    static QColor downsColor();
    static QColor indexUpsColor();
    static QColor indexDownsColor();
    static QColor unchangedColor(); // yellow, outside the scheme
    static void setDefaultPriceForBuy(qint32 mode);
    static void setDefaultPriceForSell(qint32 mode);
    // Tests: scheme 0, modes 0.
    static void resetClassState();

    // --- Five-level book (level 1..5: buy1PriceText ... sell5PriceTextColor) ---
    QString buyPriceText(int level) const;
    QString sellPriceText(int level) const;
    QString buyQuantityText(int level) const;
    QString sellQuantityText(int level) const;
    QColor buyPriceTextColor(int level) const;
    QColor sellPriceTextColor(int level) const;

    // --- Quote panel ---
    virtual QString lastPriceText() const;
    virtual QString amountOfUpdownText() const;
    virtual QString limitUpText() const;
    virtual QString limitDownText() const;
    QColor lastPriceTextColor() const;
    QColor amountOfUpdownTextColor() const;
    QString averagePriceText() const;
    QColor averagePriceTextColor() const;
    QString closingPriceText() const;
    QString timeText() const;
    QString recentQuantity() const;
    virtual QString currentPriceFor5LevelLabelText() const;
    virtual QString upDownAmountFor5LevelLabelText() const;
    virtual QString limitUpLabelText() const;
    virtual QString limitDownLabelText() const;

    // --- Chart axes ---
    QString maxPriceText() const;
    QString minPriceText() const;
    QString higherPriceText() const;
    QString lowerPriceText() const;
    bool firstDay() const;
    virtual QString maxVolumeText() const;
    virtual QString halfOfMaxVolumeText() const;
    // A count in 万 or 亿 with two rounded decimals ("1.23万"), above
    // 99,999,999,999 in whole 万亿 ("12万亿").
    static QString largeNumberText(qint64 n);

    // --- The minute under the cross-hair (chart index from 0) ---
    QString getTimeTextWithIndex(quint64 index) const;
    QString selectedTimeText(quint64 index) const { return getTimeTextWithIndex(index); }
    QString selectedTimePriceText(quint64 index) const;
    QColor selectedTimePriceTextColor(quint64 index) const;
    QString selectedTimeAveragePriceText(quint64 index) const;
    QColor selectedTimeAveragePriceTextColor(quint64 index) const;
    QString selectedTimeQuantityText(quint64 index) const;

    // --- Order types and the order form (trade type 0 buy, 1 sell, 2 exercise) ---
    virtual QStringList getOderTypeTitles() const;
    virtual qint32 getOrderType(const QString& title, qint32 tradeType) const;
    virtual QString getUnitName() const;
    virtual QString stockCodeLabelText() const;
    // marketPriceType: the chosen order type carries no price of its own.
    virtual QString priceLabelText(qint32 tradeType, bool marketPriceType) const;
    virtual QString quantityLabelText(qint32 tradeType) const;
    virtual QString maxVolumeOfBSLabelText(qint32 tradeType) const;
    // nullopt: no button text for that trade type.
    virtual std::optional<QString> orderButtonText(qint32 tradeType) const;
    static QString defaultPriceLabelText(qint32 tradeType);
    static QString defaultQuantityLabelText(qint32 tradeType);
    static QString defaultMaxVolumeOfBSLabelText(qint32 tradeType);
    static QString defaultOrderButtonText(qint32 tradeType);

    // --- Default prices ---
    QString defaultBuyPrice() const;
    QString defaultSellPrice() const;
    QString getValidDefaultPrice(double price) const;

    // The price in the security's format ("%.<precision>f").
    // A negative price means nothing: "--" as for any implausible number.
    QString priceText(double price) const
    {
        return price < 0 ? QString::fromLatin1(servernumber::kNotShown) : formatPrice(price, precision);
    }
    // Shares (units) per lot: lotSize, or the class's default when not given.
    qint64 lot() const { return lotSize >= 1 ? lotSize : defaultLot(); }

    // --- Fields: quote (Q), time-sharing (T), new issue (N) ---
    bool hasNotLimit = false; // Q
    double upDown = 0; // Q
    double amountOfUpDown = 0; // Q, percent
    double averagePrice = 0; // Q
    double wb = 0; // Q
    double lb = 0; // Q
    double turnoverRate = 0; // Q
    double peRatio = 0; // Q; a bond's interest
    std::array<double, kLevels> buyPrices {}; // Q, level 1 first
    std::array<double, kLevels> sellPrices {}; // Q
    double am = 0; // Q
    qint32 precision = 0; // Q; T when above 0
    double limitUp = 0; // Q
    double limitDown = 0; // Q
    double closingPriceOfYesterday = 0; // Q, T
    double openingPriceOfToday = 0; // T
    double highDealPrice = 0; // T
    double lowDealPrice = 0; // T
    double recentDealPrice = 0; // Q, T
    qint64 totalTurnover = 0; // T, traded quantity of the day
    qint64 dealVolume = 0; // T, traded amount of the day
    qint32 lotSize = 0; // T; below 1: not given
    std::array<qint64, kLevels> buyQuantities {}; // Q
    std::array<qint64, kLevels> sellQuantities {}; // Q
    qint64 openInterest = 0; // Q
    qint64 sell = 0; // Q
    qint64 buy = 0; // Q
    qint64 increment = 0; // Q
    qint64 increasePosition = 0; // Q
    QString queryCode; // Q
    QString marketType; // Q, N, or set on a bare object
    QString quotaDate; // T
    QString exchangeId; // Q
    QString classId; // Q
    QString code; // T, N, or set on a bare object
    QString name; // Q, N
    QString lastUpdateDate; // T; characters 8-11 hold hour and minute
    std::vector<RDOTimesharingInfo> timesharingInfoArray; // T
    std::optional<std::vector<RDOTimesharingInfo>> afterTimesharingInfoArray; // T
    std::optional<double> priceStep; // Q
    QString stockCodeAndName; // N
    QString purchasePrice; // N
    QString limitUpQuantity; // N
    QString limitDownQuantity; // N
    QString totalVolume; // N
    QString marketName; // N
    QString date; // N
    QString moneyType; // N
    QString stockType; // N
    QString purchasePriceUnit; // N
    QString limitDownValue; // N
    QString stopFlag; // N
    QString marketCalFlag; // N
    QString bondIntr; // N
    QString minQuantity; // N
    QString maxQuantity; // N
    QString buyUnit; // N
    QString saleUnit; // N
    QString stockStatus; // N
    QString stockLevel; // N
    QString quitDate; // N
    QString memoText; // N
    QString exchangeRate; // set by the Stock Connect pages

protected:
    virtual qint64 defaultLot() const { return 100; }
    // The minute at a chart index: past 240 a KC board security looks in its
    // after-hours minutes; nullptr when there is none.
    virtual const RDOTimesharingInfo* pointAt(quint64 index) const;
    const RDOTimesharingInfo* normalPointAt(quint64 index) const;
    QString volumeAxisText(qint64 turnoverDivisor, qint64 volumeDivisor) const;
    QColor colorAgainstClose(double value) const;

private:
    double subPriceOfMaxAndClosing_ = 0;
    qint64 maxVolume_ = 0;
    qint64 maxTurnover_ = 0;
};

class Stock : public Security {
public:
    QString getUnitName() const override;
};

// Stock Connect securities: the volume axis in whole shares.
class HStock : public Stock {
public:
    QString maxVolumeText() const override;
    QString halfOfMaxVolumeText() const override;
};

// Bonds show net price, full price, previous close and interest in the
// quote panel, and count in lots of 10.
class Bond : public Security {
public:
    QString lastPriceText() const override;
    QString amountOfUpdownText() const override;
    QString limitUpText() const override;
    QString limitDownText() const override;
    QString currentPriceFor5LevelLabelText() const override;
    QString upDownAmountFor5LevelLabelText() const override;
    QString limitUpLabelText() const override;
    QString limitDownLabelText() const override;
    QString getUnitName() const override;

protected:
    qint64 defaultLot() const override { return 10; }
    const RDOTimesharingInfo* pointAt(quint64 index) const override { return normalPointAt(index); }

private:
    double netPrice() const;
};

// Reverse repos: financing and lending words, limit orders only.
class ReverseRepo : public Bond {
public:
    QStringList getOderTypeTitles() const override;
    QString priceLabelText(qint32 tradeType, bool marketPriceType) const override;
    QString quantityLabelText(qint32 tradeType) const override;
    QString maxVolumeOfBSLabelText(qint32 tradeType) const override;
    std::optional<QString> orderButtonText(qint32 tradeType) const override;
};

// Warrants: exercise words and order type 200 for trade type 2.
class Warrant : public Security {
public:
    qint32 getOrderType(const QString& title, qint32 tradeType) const override;
    QString getUnitName() const override;
    QString stockCodeLabelText() const override;
    QString priceLabelText(qint32 tradeType, bool marketPriceType) const override;
    QString quantityLabelText(qint32 tradeType) const override;
    QString maxVolumeOfBSLabelText(qint32 tradeType) const override;
    std::optional<QString> orderButtonText(qint32 tradeType) const override;
};

// New issues: subscription words whatever the trade type.
class IPOStock : public Security {
public:
    QString getUnitName() const override;
    QString priceLabelText(qint32 tradeType, bool marketPriceType) const override;
    QString quantityLabelText(qint32 tradeType) const override;
    QString maxVolumeOfBSLabelText(qint32 tradeType) const override;
    std::optional<QString> orderButtonText(qint32 tradeType) const override;
};
