#pragma once

#include "platform/Lifetime.h"
#include "quotes/requests/QuoteRecords.h"
#include "trading/quotepanel/QuotePanelGeometry.h"
#include "trading/quotepanel/TimePointLineView.h"

#include <QColor>
#include <QObject>
#include <QSizeF>
#include <array>
#include <memory>
#include <optional>

class NotificationCenter;
class Security;
class UserDefaultConfig;

// The page that takes a clicked price into its order form.
class IUpdatePriceDelegate : public platform::Lifetime {
public:
    virtual ~IUpdatePriceDelegate() = default;
    virtual void updatePrice(const QString& price) = 0;
};

// One text of the panel with its colour; a hidden one is not drawn.
struct QuoteTextField {
    QString text;
    QColor color;
    bool hidden = false;
};

// The panel's texts, one per field of the panel.
enum class QuoteField : int {
    lastPriceLabel,
    amountOfUpdownLabel,
    limitUpLabel,
    limitDownLabel,
    exchangeRateLabel,
    lastPriceText,
    amountOfUpdownText,
    limitUpText,
    limitDownText,
    exchangeRateText,
    timeText,
    currentPriceText,
    averagePriceText,
    currentQuantityText,
    maxPriceText,
    higherPriceText,
    closingPriceText,
    lowerPriceText,
    minPriceText,
    maxVolumeText,
    halfOfMaxVolumeText,
    timeBeginLabel,
    timeMidLabel,
    timeEndLabel,
    timeAFLabel,
    count
};

// Click areas that hand a price to the page.
enum class QuotePriceButton : int {
    currentPriceButton,
    highPriceButton,
    lowPriceButton,
};

// What the chart views draw, as the controller last gave it to them.
struct QuoteChartData {
    std::vector<RDOTimesharingInfo> timesharing;
    std::vector<RDOTimesharingInfo> after;
    double openPrice = 0;
    double closingPrice = 0; // the price axis's centre
    double subPrice = 0; // its half range
    double previousClose = 0; // what the first volume bar compares with
    qint64 maximum = 0; // largest minute volume
};

// What the controller works with; null ones are the shared instances.
struct QuoteInfoViewControllerServices {
    NotificationCenter* notificationCenter = nullptr;
    UserDefaultConfig* userDefaultConfig = nullptr;
    // The visible height of the main screen; none: the main screen's now.
    std::optional<double> screenHeight;
};

// The quote panel without its widgets: the five-level book, the summary and
// the time-sharing chart's header and scales, all texts and colours taken
// from a Security that the page hands over on each of its refreshes. A click
// on a price hands that price to the page. Main thread only.
class QuoteInfoViewController final : public QObject, public IUpdateTimesharingInfoDelegate {
    Q_OBJECT
public:
    using Services = QuoteInfoViewControllerServices;
    using SecurityPtr = std::shared_ptr<Security>;
    static constexpr int kLevels = 5;

    // initWithFrameSize: the host area's size.
    explicit QuoteInfoViewController(QSizeF frameSize, Services services = Services(), QObject* parent = nullptr);
    ~QuoteInfoViewController() override;

    // Font sizes for a main screen of this visible height (none: no screen).
    static std::pair<qint64, qint64> fontSizesFor(std::optional<double> screenHeight);
    // The visible height of the main screen; none without a screen.
    static std::optional<double> mainScreenHeight();
    qint64 fontSize() const { return fontSize_; }
    qint64 fontSmallSize() const { return fontSmallSize_; }
    QSizeF frameSize() const { return frameSize_; }

    // awakeFromNib: the colour scheme's registration, an empty panel.
    void awakeFromNib();
    void resetQuoteColor();
    void emptyInfo();
    void setTimesharingInfo(const SecurityPtr& security);
    void updateSelectedTimeInfo(const Security& security, quint64 index);
    void updateCurrentTimesharingInfo(const Security& security);
    void recoverTimesharingInfo(const Security& security);
    void setExchangeRate(const QString& rate);
    void setQuotesOf5LevelInfo(const Security& security);
    void setUpdatePriceDelegate(IUpdatePriceDelegate* delegate) { updatePriceDelegate_ = delegate; }
    void setQuoteMarketType(qint32 type);

    // Price clicks (level from 1).
    void buyClicked(int level);
    void sellClicked(int level);
    void priceButtonClicked(QuotePriceButton button);

    // --- What the panel shows ---
    const QuoteTextField& field(QuoteField f) const { return fields_[size_t(f)]; }
    const QuoteTextField& buyPrice(int level) const { return buyPrices_[size_t(level - 1)]; }
    const QuoteTextField& sellPrice(int level) const { return sellPrices_[size_t(level - 1)]; }
    const QuoteTextField& buyQuantity(int level) const { return buyQuantities_[size_t(level - 1)]; }
    const QuoteTextField& sellQuantity(int level) const { return sellQuantities_[size_t(level - 1)]; }
    bool limitRowsHidden() const { return limitRowsHidden_; }
    // The centre of timeMidLabel as a fraction of the chart's width.
    double timeMidLabelCentre() const { return timeMidCentre_; }
    qint32 quoteMarketType() const { return quoteMarketType_; }
    bool midLineHidden() const { return midLineHidden_; }
    bool isSelected() const { return isSelected_; }
    const SecurityPtr& current() const { return current_; }
    const QuoteChartData& chart() const { return chart_; }

    // While the page's confirmation dialog is open, price clicks never reach
    // the order form under it; the panel itself goes on refreshing.
    void setOrderFormHeld(bool held) { orderFormHeld_ = held; }
    bool orderFormHeld() const { return orderFormHeld_; }

    // IUpdateTimesharingInfoDelegate, for a panel without a page relaying it.
    bool updateTimesahringInfo(qint64 index) override;
    bool updateCurrentTimesharingInfo() override;
    bool recoverToCurrent() override;

    // The layout type a security's class id asks for.
    static qint32 quoteMarketTypeOfClass(const QString& classId);

signals:
    // Texts, colours or visibility changed.
    void changed();
    // The chart's data changed (chart()).
    void chartChanged();
    void marketTypeChanged(qint32 type);

private:
    QuoteTextField& f(QuoteField field) { return fields_[size_t(field)]; }
    void sendPrice(const QString& text);
    void setText(QuoteField field, const QString& text, std::optional<QColor> color = std::nullopt);

    Services services_;
    QSizeF frameSize_;
    qint64 fontSize_ = 11;
    qint64 fontSmallSize_ = 9;
    platform::WeakRef<IUpdatePriceDelegate> updatePriceDelegate_;
    SecurityPtr current_;
    bool isSelected_ = false;
    bool midLineHidden_ = false;
    bool limitRowsHidden_ = false;
    bool orderFormHeld_ = false;
    qint32 quoteMarketType_ = 0;
    double timeMidCentre_ = 0.5;
    std::array<QuoteTextField, size_t(QuoteField::count)> fields_;
    std::array<QuoteTextField, kLevels> buyPrices_, sellPrices_, buyQuantities_, sellQuantities_;
    QuoteChartData chart_;
};
