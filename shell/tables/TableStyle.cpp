#include "shell/tables/TableStyle.h"

#include "core/NotificationCenter.h"
#include "core/UserDefaultConfig.h"
#include "platform/NotificationCenter.h"

#include <memory>

namespace {

std::unique_ptr<TableStyle> instance;

QColor red()
{
    return QColor(Qt::red);
}
QColor darkGreen()
{
    return QColor::fromRgbF(0.0f, 0.6f, 0.0f);
}

} // namespace

TableStyle* TableStyle::getInstance()
{
    if (!instance)
        instance = std::make_unique<TableStyle>(
            UserDefaultConfig::getInstance(), NotificationCenter::getInstance());
    return instance.get();
}

void TableStyle::resetInstance()
{
    instance.reset();
}

TableStyle::TableStyle(UserDefaultConfig* config, NotificationCenter* center)
    : config_(config)
{
    for (TableColors& c : tables_)
        c = TableColors { red(), darkGreen(), red(), darkGreen(), false };
    setQuoteColorType(0);
    if (config) {
        // The store keeps these hooks for its whole life; the weak reference
        // makes them harmless once this style is gone.
        for (TableKind kind : { TableKind::Common, TableKind::Check }) {
            platform::WeakRef<TableStyle> self(this);
            config->addTableViewHooks({
                [self, kind](int32_t t) {
                    if (auto* s = self.get())
                        s->setOrderColorType(kind, t);
                },
                [self, kind](int32_t t) {
                    if (auto* s = self.get())
                        s->setProfitLossColorType(kind, t);
                },
                [self, kind](bool on) {
                    if (auto* s = self.get())
                        s->setAccountProtectOption(kind, on);
                },
                [self, kind] {
                    if (auto* s = self.get())
                        s->reloadTable(kind);
                },
            });
        }
        setQuoteColorType(config->quoteColorType());
    }
    if (center) {
        center->addObserver(this, TypedNotificationCenter::PlainHandler([this] {
            // The store may have been replaced (tests) while this style lives.
            if (UserDefaultConfig* config = config_.get())
                setQuoteColorType(config->quoteColorType());
        }),
            UserDefaultConfig::kQuoteColorTypeChanged);
    }
}

TableStyle::~TableStyle() = default;

QColor TableStyle::neutralColor()
{
    return QColor::fromRgbF(0.419f, 0.419f, 0.419f);
}

QColor TableStyle::defaultHighlightColor()
{
    return QColor::fromRgbF(0.94f, 0.94f, 0.94f);
}

QColor TableStyle::colorForTone(TableKind kind, CellTone tone) const
{
    const TableColors& c = colors(kind);
    switch (tone) {
    case CellTone::Profit:
        return c.profit;
    case CellTone::Loss:
        return c.loss;
    case CellTone::Buy:
        return c.buy;
    case CellTone::Sell:
        return c.sell;
    case CellTone::Neutral:
        break;
    }
    return neutralColor();
}

void TableStyle::setOrderColorType(TableKind kind, int32_t type)
{
    TableColors& c = tables_[index(kind)];
    c.buy = type == 1 ? darkGreen() : red();
    c.sell = type == 1 ? red() : darkGreen();
}

void TableStyle::setProfitLossColorType(TableKind kind, int32_t type)
{
    TableColors& c = tables_[index(kind)];
    c.profit = type == 1 ? darkGreen() : red();
    c.loss = type == 1 ? red() : darkGreen();
}

void TableStyle::setAccountProtectOption(TableKind kind, bool on)
{
    tables_[index(kind)].accountProtect = on;
}

void TableStyle::reloadTable(TableKind kind)
{
    emit tablesChanged(kind);
    platform::NotificationCenter::defaultCenter().postNotification(
        QString::fromLatin1(kind == TableKind::Common ? kReloadCommonTable : kReloadCheckTable));
}

void TableStyle::setQuoteColorType(int32_t type)
{
    if (type != 0 && type != 1)
        return;
    const QColor standardRed = QColor::fromRgbF(1, 0, 0);
    const QColor standardGreen = QColor::fromRgbF(0, 1, 0);
    const QColor indexRed = QColor::fromRgbF(0.8f, 0, 0);
    const QColor indexGreen = QColor::fromRgbF(0, 0.415f, 0);
    const bool risesRed = type == 0;
    ups_ = risesRed ? standardRed : standardGreen;
    downs_ = risesRed ? standardGreen : standardRed;
    indexUps_ = risesRed ? indexRed : indexGreen;
    indexDowns_ = risesRed ? indexGreen : indexRed;
    const bool changed = quoteColorType_ != type;
    quoteColorType_ = type;
    if (changed)
        emit quoteColorsChanged();
}
