#include "trading/pages/AssetQueryViewController.h"

#include "core/NotificationCenter.h"
#include "core/TypedNumber.h"
#include "shell/formatters/FloatNumberFormatter.h"

#include <QRegularExpression>

namespace {

constexpr char kCostTitle[] = "参考成本价";
// What the page's answers are asked for, each filed under its request handle.
constexpr char kFundsAsk[] = "funds";
constexpr char kPositionsAsk[] = "positions";

// The main window picks the trading page by the position's market without
// knowing this record: it reads the record as a map.
void letPositionsReadAsMaps()
{
    static const bool registered
        = QMetaType::registerConverter<RDOPositionDetail, QVariantMap>([](const RDOPositionDetail& p) {
              return QVariantMap { { QStringLiteral("marketCode"), p.marketCode },
                  { QStringLiteral("stkcode"), p.stockCode } };
          });
    Q_UNUSED(registered);
}

} // namespace

AssetQueryViewController::AssetQueryViewController(BaseNode::Ptr node, Services services)
    : MenuItemViewController(std::move(node), services)
    , queryInfoManager_(
          services.queryInfoManager ? services.queryInfoManager : QueryInfoManager::getInstance())
    , stockManager_(services.stockManager ? services.stockManager : StockManager::getInstance())
    , fundTable_(TableKind::Common)
    , positionTable_(TableKind::Common)
{
}

void AssetQueryViewController::awakeFromNib()
{
    functionTitles_ = { QString(12, QLatin1Char(' ')) + QStringLiteral("快捷功能"),
        QStringLiteral("调整成本价"), QStringLiteral("买入"), QStringLiteral("卖出") };
    requestFunds();
    requestPositions();
}

bool AssetQueryViewController::requestFunds()
{
    QString handle;
    queryInfoManager_->requestFundInfoList(this, &handle);
    askedFor().ask(QString::fromLatin1(kFundsAsk), handle);
    return !handle.isEmpty();
}

QStringList AssetQueryViewController::readOwed(const QStringList& owed)
{
    ReadsAskedAgain reads(owed);
    reads.ask(owedfigure::kMoney, [this] { return requestFunds(); });
    reads.ask(owedfigure::kPositions, [this] { return requestPositions(); });
    return reads.asked();
}

void AssetQueryViewController::clearAccountFigures()
{
    // Whatever the new account's queries do, no position, account or total
    // of the previous one stays to be acted on.
    positions_.reset();
    fundTable_.clearRows();
    positionTable_.clearRows();
    selectedRows_.clear();
    editableColumnIndex_ = -1;
    rmb_ = usd_ = hkd_ = yuanText(0);
}

bool AssetQueryViewController::requestPositions()
{
    QString handle;
    queryInfoManager_->requestPositionInfo(this, 0, &handle);
    askedFor().ask(QString::fromLatin1(kPositionsAsk), handle);
    return !handle.isEmpty();
}

void AssetQueryViewController::fundInfoList(
    DataModel*, const QString& handle, const std::shared_ptr<DTFundInfoTable>& table)
{
    if (!askedFor().take(QString::fromLatin1(kFundsAsk), handle))
        return;
    figureRead(owedfigure::kMoney, bool(table));
    if (!table)
        return;
    fundTable_.show(table);
    DecimalSum rmb, usd, hkd;
    for (qsizetype row = 0; row < table->contentObjectArray().size(); ++row) {
        const RDOFund fund = table->recordAt(row);
        DecimalSum* total = fund.moneyTypeName == QStringLiteral("人民币") ? &rmb
            : fund.moneyTypeName == QStringLiteral("美元")                 ? &usd
            : fund.moneyTypeName == QStringLiteral("港币")                 ? &hkd
                                                                           : nullptr;
        if (total)
            total->add(fund.marketValue);
    }
    rmb_ = yuanText(rmb.hundredths());
    usd_ = yuanText(usd.hundredths());
    hkd_ = yuanText(hkd.hundredths());
    emit changed();
}

bool AssetQueryViewController::fundInfoList(DataModel*, const QString& handle, const CSError&)
{
    // The tables keep what they showed; while owed it may be out of date.
    if (askedFor().take(QString::fromLatin1(kFundsAsk), handle))
        figureRead(owedfigure::kMoney, false);
    return true;
}

void AssetQueryViewController::queryPositionInfo(DataModel*, const QString& handle, const DTTablePtr& table)
{
    if (!askedFor().take(QString::fromLatin1(kPositionsAsk), handle))
        return;
    figureRead(owedfigure::kPositions, bool(table));
    if (!table)
        return;
    positions_ = table;
    positionTable_.show(table);
    DVTableModel& model = positionTable_.model();
    // One formatter serves every positions reply of the table.
    if (!costFormatter_ || costFormatter_->parent() != &model)
        costFormatter_ = new FloatNumberFormatter(&model);
    editableColumnIndex_
        = model.setColumnEditable(true, costFormatter_.data(), QString::fromUtf8(kCostTitle), this, false);
    selectedRows_.clear();
    emit changed();
}

bool AssetQueryViewController::queryPositionInfo(DataModel*, const QString& handle, const CSError&)
{
    if (askedFor().take(QString::fromLatin1(kPositionsAsk), handle))
        figureRead(owedfigure::kPositions, false);
    return true;
}

std::optional<RDOPositionDetail> AssetQueryViewController::positionAt(int row) const
{
    if (!positions_ || row < 0 || row >= positions_->contentObjectArray().size())
        return std::nullopt;
    const QVariant& object = positions_->contentObjectArray().at(row);
    if (object.userType() == qMetaTypeId<RDOWarrantPositionDetail>())
        return RDOPositionDetail(object.value<RDOWarrantPositionDetail>());
    return object.value<RDOPositionDetail>();
}

void AssetQueryViewController::functionSelected(int index)
{
    const std::optional<RDOPositionDetail> position
        = selectedRows_.size() == 1 ? positionAt(selectedRows_.front()) : std::nullopt;
    if (!position) {
        alerts()->runAlert(AlertRequest::tip(QStringLiteral("请先选择想要操作的证券。")), nullptr);
        return;
    }
    if (index == kFunctionAdjustCost) {
        if (editableColumnIndex_ >= 0 && editCell_)
            editCell_(selectedRows_.front(), editableColumnIndex_);
    } else if (index == kFunctionBuy || index == kFunctionSell) {
        letPositionsReadAsMaps();
        notificationCenter->postNotificationName(
            index == kFunctionBuy ? pagenotify::kBuyPosition : pagenotify::kSellPosition, QVariant(),
            { { QString::fromLatin1(pagenotify::kPositionDetailKey), QVariant::fromValue(*position) } });
    }
}

void AssetQueryViewController::endEditing(int row, int, const QString& typed)
{
    // The price as typed numbers are read; what no request can carry is
    // refused in the one reader's words before anything is sent.
    const QString text = typednumber::read(typed);
    const std::optional<RDOPositionDetail> position = positionAt(row);
    // Every edit goes out, also while an earlier one waits for its answer.
    if (!position)
        return;
    if (const std::optional<QString> why = typednumber::problem(QStringLiteral("成本价"), text)) {
        alerts()->runAlert(AlertRequest::tip(*why), nullptr);
        return;
    }
    // The answer is heard through a relay: it reaches this page while the
    // page still awaits it, and is told all the same once it does not.
    auto& relay = ActionOutcomeRelay::start<ResetCostRelay>(
        ActionOutcomeRelay::pageOf(*this), *this, &resetCostText, false, &resetCostFailureText);
    QString handle;
    const QString refused = stockManager_->requestResetStockCost(
        &relay, { position->stockCode, position->marketCode, position->securityId }, text, &handle);
    relay.sent(handle);
    if (!refused.isEmpty())
        alerts()->runAlert(AlertRequest::error(refused), nullptr);
}

void AssetQueryViewController::resetCost(DataModel*, const QString&, const QString& message)
{
    ActionOutcomeRelay::tell(alerts(), AlertRequest::tip(resetCostText(message)));
    requestPositions();
}

bool AssetQueryViewController::resetCost(DataModel*, const QString&, const CSError& error)
{
    ActionOutcomeRelay::tell(alerts(), AlertRequest::error(resetCostFailureText(error)));
    requestPositions();
    return true;
}

namespace {
constexpr qint64 kFractionScale = 1'000'000'000'000'000; // 10^15
constexpr qint64 kHundredthScale = kFractionScale / 100;
} // namespace

bool AssetQueryViewController::DecimalSum::add(const QString& text)
{
    static const QRegularExpression plain(QStringLiteral("^\\s*([+-]?)(\\d{1,13})(?:\\.(\\d*))?\\s*$"));
    const QRegularExpressionMatch m = plain.match(text);
    if (!m.hasMatch())
        return false;
    // Digits past the fifteenth decimal are dropped: they move no total.
    const qint64 whole = m.captured(2).toLongLong();
    const qint64 fraction = (m.captured(3) + QString(15, QLatin1Char('0'))).left(15).toLongLong();
    if (m.captured(1) == QLatin1String("-")) {
        units_ -= whole;
        fraction_ -= fraction;
    } else {
        units_ += whole;
        fraction_ += fraction;
    }
    if (fraction_ < 0) {
        fraction_ += kFractionScale;
        --units_;
    } else if (fraction_ >= kFractionScale) {
        fraction_ -= kFractionScale;
        ++units_;
    }
    return true;
}

qint64 AssetQueryViewController::DecimalSum::hundredths() const
{
    // The magnitude is rounded, then given its sign back.
    const bool negative = units_ < 0;
    const qint64 units = negative ? -units_ - (fraction_ > 0 ? 1 : 0) : units_;
    const qint64 fraction = negative && fraction_ > 0 ? kFractionScale - fraction_ : fraction_;
    qint64 value = units * 100 + fraction / kHundredthScale;
    if (fraction % kHundredthScale >= kHundredthScale / 2)
        ++value;
    return negative ? -value : value;
}

std::optional<qint64> AssetQueryViewController::hundredths(const QString& text)
{
    DecimalSum sum;
    if (!sum.add(text))
        return std::nullopt;
    return sum.hundredths();
}

QString AssetQueryViewController::yuanText(qint64 hundredths)
{
    const qint64 magnitude = hundredths < 0 ? -hundredths : hundredths;
    return QStringLiteral("%1%2.%3元")
        .arg(hundredths < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 100)
        .arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}
