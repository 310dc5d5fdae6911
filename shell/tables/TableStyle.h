#pragma once

#include "platform/Lifetime.h"

#include <QColor>
#include <QObject>
#include <array>
#include <cstdint>

class UserDefaultConfig;
class NotificationCenter;

// The two shared table classes keep their colours and account protection
// apart, and each reloads on its own.
enum class TableKind : uint8_t { Common = 0, Check = 1 };

// How a cell's text is coloured; the colour itself comes from the style.
enum class CellTone : uint8_t { Neutral = 0, Profit, Loss, Buy, Sell };

struct TableColors {
    QColor buy;
    QColor sell;
    QColor profit;
    QColor loss;
    bool accountProtect = false;
};

// The one place the client's table and quote colours live. Tables ask it for
// the colour of a tone when they draw, and redraw when it says tablesChanged;
// quote displays redraw on quoteColorsChanged. It follows the settings store:
// the order and profit-and-loss schemes and the protection switch are pushed
// to it, the quote scheme is re-read when the settings post its change.
class TableStyle : public QObject, public platform::Lifetime {
    Q_OBJECT
public:
    // Posted on the platform's default centre by reloadTable, for anyone
    // outside the tables who redraws with them.
    static constexpr char kReloadCommonTable[] = "data_model_notification_reload_common_table";
    static constexpr char kReloadCheckTable[] = "data_model_notification_reload_check_table";

    // The shared style, following the shared settings store.
    static TableStyle* getInstance();
    // Tests: drops the shared style; the next getInstance() makes a new one.
    static void resetInstance();

    // A style with the initial colours; with a config it takes that store's
    // schemes now and on every change. The config must outlive the style.
    explicit TableStyle(UserDefaultConfig* config = nullptr, NotificationCenter* center = nullptr);
    ~TableStyle() override;

    const TableColors& colors(TableKind kind) const { return tables_[index(kind)]; }
    QColor colorForTone(TableKind kind, CellTone tone) const;
    // Text of cells without a tone, and the selected rows' background.
    static QColor neutralColor();
    static QColor defaultHighlightColor();

    // setOrderColorType: 1 buys green and sells red, anything else the reverse.
    void setOrderColorType(TableKind kind, int32_t type);
    // setProfitLossColorType: 1 profit green and loss red, anything else the reverse.
    void setProfitLossColorType(TableKind kind, int32_t type);
    void setAccountProtectOption(TableKind kind, bool on);
    // reloadTable: every table of the kind redraws (and the kind's platform
    // notification is posted).
    void reloadTable(TableKind kind);

    // The quote scheme: 0 rises red and falls green, 1 the reverse; any
    // other number changes nothing.
    int32_t quoteColorType() const { return quoteColorType_; }
    void setQuoteColorType(int32_t type);
    QColor upsColor() const { return ups_; }
    QColor downsColor() const { return downs_; }
    QColor indexUpsColor() const { return indexUps_; }
    QColor indexDownsColor() const { return indexDowns_; }

signals:
    void tablesChanged(TableKind kind);
    void quoteColorsChanged();

private:
    static size_t index(TableKind kind) { return static_cast<size_t>(kind); }

    std::array<TableColors, 2> tables_;
    int32_t quoteColorType_ = -1;
    QColor ups_, downs_, indexUps_, indexDowns_;
    platform::WeakRef<UserDefaultConfig> config_;
};
