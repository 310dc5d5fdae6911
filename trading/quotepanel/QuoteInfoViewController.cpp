#include "trading/quotepanel/QuoteInfoViewController.h"

#include "comm/recordset/ServerNumber.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaultConfig.h"
#include "trading/DMOrderType.h"
#include "trading/security/Security.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

constexpr double kMinScreenHeightForLargeFonts = 730;

struct MarketTexts {
    const char* begin;
    const char* mid;
    const char* end;
    double centre;
    bool afterHoursMark;
    bool limits; // limit rows shown, else the exchange rate
};

// Axis labels and rows by market layout type 0 to 3.
constexpr MarketTexts kMarketTexts[] = {
    { "09:30", "11:30 13:00", "15:00", 1.0 / 2, false, true },
    { "09:30", "12:00 13:00", "16:00", 5.0 / 11, false, false },
    { "09:30", "11:30 13:00", "15:30", 4.0 / 9, false, true },
    { "09:30", "11:30 13:00", "15:30", 5.0 / 11, true, true },
};

} // namespace

QuoteInfoViewController::QuoteInfoViewController(QSizeF frameSize, Services services, QObject* parent)
    : QObject(parent)
    , services_(std::move(services))
    , frameSize_(frameSize)
{
    if (!services_.notificationCenter)
        services_.notificationCenter = NotificationCenter::getInstance();
    if (!services_.userDefaultConfig)
        services_.userDefaultConfig = UserDefaultConfig::getInstance();
    if (!services_.screenHeight)
        services_.screenHeight = mainScreenHeight();
    std::tie(fontSize_, fontSmallSize_) = fontSizesFor(services_.screenHeight);
    for (QuoteTextField& field : fields_)
        field.color = Security::unchangedColor();
    // The captions a share shows until the first quote says otherwise.
    setText(QuoteField::lastPriceLabel, QStringLiteral("最新"));
    setText(QuoteField::amountOfUpdownLabel, QStringLiteral("涨跌"));
    setText(QuoteField::limitUpLabel, QStringLiteral("涨停"));
    setText(QuoteField::limitDownLabel, QStringLiteral("跌停"));
    setText(QuoteField::exchangeRateLabel, QStringLiteral("参考汇率"));
    f(QuoteField::exchangeRateLabel).hidden = true;
    f(QuoteField::exchangeRateText).hidden = true;
    f(QuoteField::timeAFLabel).hidden = true;
}

QuoteInfoViewController::~QuoteInfoViewController()
{
    services_.notificationCenter->removeObserver(static_cast<QObject*>(this));
}

std::pair<qint64, qint64> QuoteInfoViewController::fontSizesFor(std::optional<double> screenHeight)
{
    if (screenHeight && *screenHeight >= kMinScreenHeightForLargeFonts)
        return { 13, 11 };
    return { 11, 9 };
}

std::optional<double> QuoteInfoViewController::mainScreenHeight()
{
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
        ? QGuiApplication::primaryScreen()
        : nullptr;
    if (!screen)
        return std::nullopt;
    return screen->availableGeometry().height();
}

void QuoteInfoViewController::awakeFromNib()
{
    isSelected_ = false;
    services_.notificationCenter->removeObserver(static_cast<QObject*>(this));
    services_.notificationCenter->addObserver(
        this, &QuoteInfoViewController::resetQuoteColor, UserDefaultConfig::kQuoteColorTypeChanged);
    emptyInfo();
}

void QuoteInfoViewController::setText(QuoteField field, const QString& text, std::optional<QColor> color)
{
    f(field).text = text;
    if (color)
        f(field).color = *color;
}

void QuoteInfoViewController::resetQuoteColor()
{
    Security::setQuoteColorType(services_.userDefaultConfig->quoteColorType());
    if (!current_)
        return;
    // Hold on to it: a page may hand over another security from a callback.
    const SecurityPtr security = current_;
    setQuotesOf5LevelInfo(*security);
    setTimesharingInfo(security);
}

void QuoteInfoViewController::emptyInfo()
{
    for (auto* side : { &sellPrices_, &sellQuantities_, &buyPrices_, &buyQuantities_ })
        for (QuoteTextField& field : *side)
            field.text.clear();
    for (QuoteField field : { QuoteField::lastPriceText, QuoteField::amountOfUpdownText, QuoteField::limitUpText,
             QuoteField::limitDownText, QuoteField::timeText, QuoteField::currentPriceText,
             QuoteField::averagePriceText, QuoteField::currentQuantityText, QuoteField::closingPriceText,
             QuoteField::maxPriceText, QuoteField::minPriceText, QuoteField::higherPriceText,
             QuoteField::lowerPriceText, QuoteField::maxVolumeText, QuoteField::halfOfMaxVolumeText })
        f(field).text.clear();
    chart_ = QuoteChartData();
    // The security shown until now is no longer the panel's: a colour change
    // or a cross-hair must not bring it back.
    current_.reset();
    emit changed();
    emit chartChanged();
}

void QuoteInfoViewController::setQuotesOf5LevelInfo(const Security& s)
{
    setText(QuoteField::lastPriceLabel, s.currentPriceFor5LevelLabelText());
    setText(QuoteField::amountOfUpdownLabel, s.upDownAmountFor5LevelLabelText());
    setText(QuoteField::limitUpLabel, s.limitUpLabelText());
    setText(QuoteField::limitDownLabel, s.limitDownLabelText());
    for (int level = 1; level <= kLevels; ++level) {
        const size_t i = size_t(level - 1);
        buyPrices_[i] = { s.buyPriceText(level), s.buyPriceTextColor(level), false };
        sellPrices_[i] = { s.sellPriceText(level), s.sellPriceTextColor(level), false };
        buyQuantities_[i].text = s.buyQuantityText(level);
        sellQuantities_[i].text = s.sellQuantityText(level);
    }
    setText(QuoteField::lastPriceText, s.lastPriceText(), s.lastPriceTextColor());
    setText(QuoteField::amountOfUpdownText, s.amountOfUpdownText(), s.amountOfUpdownTextColor());
    const QString noLimit = QStringLiteral("--");
    setText(QuoteField::limitUpText, s.hasNotLimit ? noLimit : s.limitUpText(), Security::upsColor());
    setText(QuoteField::limitDownText, s.hasNotLimit ? noLimit : s.limitDownText(), Security::downsColor());
    emit changed();
}

void QuoteInfoViewController::setTimesharingInfo(const SecurityPtr& security)
{
    if (!security)
        return;
    current_ = security;
    const Security& s = *security;
    updateCurrentTimesharingInfo(s);
    setText(QuoteField::lastPriceText, s.lastPriceText(), s.lastPriceTextColor());
    setText(QuoteField::closingPriceText, s.closingPriceText());
    setText(QuoteField::maxPriceText, s.maxPriceText(), Security::upsColor());
    setText(QuoteField::minPriceText, s.minPriceText());

    double closingPrice = 0;
    double subPrice = 0;
    const bool firstDay = s.firstDay();
    midLineHidden_ = firstDay;
    for (QuoteField field : { QuoteField::higherPriceText, QuoteField::closingPriceText, QuoteField::lowerPriceText })
        f(field).hidden = firstDay;
    if (firstDay) {
        // The axis runs from 0 to the highest price.
        closingPrice = subPrice = s.maxPriceText().toDouble() / 2;
    } else {
        closingPrice = float(s.closingPriceOfYesterday);
        subPrice = float(s.subPriceOfMaxAndClosing());
    }
    f(QuoteField::minPriceText).color = Security::downsColor();
    setText(QuoteField::higherPriceText, s.higherPriceText(), Security::upsColor());
    setText(QuoteField::lowerPriceText, s.lowerPriceText(), Security::downsColor());

    chart_.timesharing = s.timesharingInfoArray;
    chart_.after = s.afterTimesharingInfoArray.value_or(std::vector<RDOTimesharingInfo>());
    chart_.openPrice = s.openingPriceOfToday;
    chart_.closingPrice = closingPrice;
    chart_.subPrice = subPrice;
    chart_.previousClose = s.closingPriceOfYesterday;
    chart_.maximum = s.maxTurnover() != 0 ? s.maxTurnover() : s.maxVolume();

    setText(QuoteField::maxVolumeText, s.maxVolumeText());
    setText(QuoteField::halfOfMaxVolumeText, s.halfOfMaxVolumeText());
    emit changed();
    emit chartChanged();
}

void QuoteInfoViewController::updateCurrentTimesharingInfo(const Security& s)
{
    if (isSelected_)
        return;
    setText(QuoteField::timeText, s.timeText());
    setText(QuoteField::currentPriceText, s.lastPriceText(), s.lastPriceTextColor());
    setText(QuoteField::averagePriceText, s.averagePriceText(), s.averagePriceTextColor());
    setText(QuoteField::currentQuantityText, s.recentQuantity());
    emit changed();
}

void QuoteInfoViewController::updateSelectedTimeInfo(const Security& s, quint64 index)
{
    isSelected_ = true;
    setText(QuoteField::timeText, s.selectedTimeText(index));
    setText(QuoteField::currentPriceText, s.selectedTimePriceText(index), s.selectedTimePriceTextColor(index));
    setText(QuoteField::averagePriceText, s.selectedTimeAveragePriceText(index),
        s.selectedTimeAveragePriceTextColor(index));
    setText(QuoteField::currentQuantityText, s.selectedTimeQuantityText(index));
    emit changed();
}

void QuoteInfoViewController::recoverTimesharingInfo(const Security& s)
{
    isSelected_ = false;
    updateCurrentTimesharingInfo(s);
}

void QuoteInfoViewController::setExchangeRate(const QString& rate)
{
    setText(QuoteField::exchangeRateText, rate);
    emit changed();
}

void QuoteInfoViewController::setQuoteMarketType(qint32 type)
{
    if (type >= 0 && type < qint32(std::size(kMarketTexts))) {
        const MarketTexts& t = kMarketTexts[type];
        setText(QuoteField::timeBeginLabel, QString::fromUtf8(t.begin));
        setText(QuoteField::timeMidLabel, QString::fromUtf8(t.mid));
        setText(QuoteField::timeEndLabel, QString::fromUtf8(t.end));
        timeMidCentre_ = t.centre;
        f(QuoteField::timeAFLabel).hidden = !t.afterHoursMark;
        setText(QuoteField::timeAFLabel, t.afterHoursMark ? QStringLiteral("15:00 15:05") : QString());
        limitRowsHidden_ = !t.limits;
        for (QuoteField field :
            { QuoteField::limitUpLabel, QuoteField::limitDownLabel, QuoteField::limitUpText, QuoteField::limitDownText })
            f(field).hidden = !t.limits;
        f(QuoteField::exchangeRateLabel).hidden = t.limits;
        f(QuoteField::exchangeRateText).hidden = t.limits;
    }
    const bool typeChanged = type != quoteMarketType_;
    quoteMarketType_ = type;
    emit changed();
    emit marketTypeChanged(type);
    if (typeChanged)
        emit chartChanged();
}

qint32 QuoteInfoViewController::quoteMarketTypeOfClass(const QString& classId)
{
    // The class by its value: a number field may come as "116.000".
    if (DMOrderType::isKCBoard(classId))
        return 3;
    const std::optional<qint64> klass = servernumber::wholeValueOf(classId);
    if (klass == 1004)
        return 2;
    // Stock Connect securities trade the Hong Kong day.
    if (klass == 108)
        return 1;
    return 0;
}

void QuoteInfoViewController::sendPrice(const QString& text)
{
    // The confirmation dialog shows what the user confirms: nothing may
    // change the order form under it.
    if (orderFormHeld_)
        return;
    if (auto* delegate = updatePriceDelegate_.get())
        delegate->updatePrice(text);
}

void QuoteInfoViewController::buyClicked(int level)
{
    if (level >= 1 && level <= kLevels)
        sendPrice(buyPrice(level).text);
}

void QuoteInfoViewController::sellClicked(int level)
{
    if (level >= 1 && level <= kLevels)
        sendPrice(sellPrice(level).text);
}

void QuoteInfoViewController::priceButtonClicked(QuotePriceButton button)
{
    switch (button) {
    case QuotePriceButton::currentPriceButton:
        sendPrice(field(QuoteField::currentPriceText).text);
        break;
    case QuotePriceButton::highPriceButton:
        sendPrice(field(QuoteField::limitUpText).text);
        break;
    case QuotePriceButton::lowPriceButton:
        sendPrice(field(QuoteField::limitDownText).text);
        break;
    }
}

bool QuoteInfoViewController::updateTimesahringInfo(qint64 index)
{
    if (current_ && index >= 0)
        updateSelectedTimeInfo(*current_, quint64(index));
    return true;
}

bool QuoteInfoViewController::updateCurrentTimesharingInfo()
{
    if (current_)
        updateCurrentTimesharingInfo(*current_);
    return true;
}

bool QuoteInfoViewController::recoverToCurrent()
{
    if (current_)
        recoverTimesharingInfo(*current_);
    return true;
}
