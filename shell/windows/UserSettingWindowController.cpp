#include "shell/windows/UserSettingWindowController.h"

#include "core/UserDefaultConfig.h"

UserSettingWindowController::UserSettingWindowController(Services services, QObject* parent)
    : QObject(parent)
    , userDefaultConfig(
          services.userDefaultConfig ? services.userDefaultConfig : UserDefaultConfig::getInstance())
{
    windowDidLoad();
}

const QStringList& UserSettingWindowController::items(PopUp popUp)
{
    static const QStringList prices { QStringLiteral("最新价"), QStringLiteral("卖一价"),
        QStringLiteral("买一价"), QStringLiteral("卖二价"), QStringLiteral("买二价"),
        QStringLiteral("卖三价"), QStringLiteral("买三价") };
    static const std::array<QStringList, kPopUpCount> all {
        QStringList { QStringLiteral("涨红跌绿"), QStringLiteral("涨绿跌红") },
        QStringList { QStringLiteral("买红卖绿"), QStringLiteral("卖红买绿") },
        QStringList { QStringLiteral("盈红亏绿"), QStringLiteral("盈绿亏红") },
        prices,
        prices,
        QStringList { QStringLiteral("不刷新"), QStringLiteral("1秒"), QStringLiteral("2秒"),
            QStringLiteral("3秒"), QStringLiteral("5秒"), QStringLiteral("10秒"), QStringLiteral("20秒"),
            QStringLiteral("30秒"), QStringLiteral("60秒") },
        QStringList { QStringLiteral("永不"), QStringLiteral("5秒"), QStringLiteral("10秒"),
            QStringLiteral("20秒"), QStringLiteral("30秒"), QStringLiteral("1分钟"), QStringLiteral("2分钟"),
            QStringLiteral("3分钟"), QStringLiteral("4分钟"), QStringLiteral("5分钟"),
            QStringLiteral("10分钟"), QStringLiteral("20分钟"), QStringLiteral("30分钟"),
            QStringLiteral("60分钟") },
        QStringList { QStringLiteral("关"), QStringLiteral("开") },
    };
    return all[popUp];
}

const char* UserSettingWindowController::objectName(PopUp popUp)
{
    static const char* const names[kPopUpCount] = { "quoteColorPButton", "orderQueryColorPButton",
        "plColorPButton", "buyDefaultPricePButton", "sellDefaultPricePButton", "quoteRefreshTimePButton",
        "lockScreenTimePButton", "protectOptionPButton" };
    return names[popUp];
}

QString UserSettingWindowController::protectTip()
{
    return QStringLiteral(
        "提示：关闭账户保护开关，需先对账户解锁，请输入当前账户的交易密\n码并点击［解锁］按钮。");
}

void UserSettingWindowController::windowDidLoad()
{
    // A stored value outside a pop-up's items shows its first item.
    auto clamp = [](PopUp p, int index) { return index >= 0 && index < items(p).size() ? index : 0; };
    const UserDefaultConfig& c = *userDefaultConfig;
    selected_ = { clamp(kQuoteColor, c.quoteColorType()), clamp(kOrderColor, c.orderColorType()),
        clamp(kPlColor, c.plColorType()), clamp(kBuyDefaultPrice, c.buyDefaultType()),
        clamp(kSellDefaultPrice, c.sellDefaultType()), clamp(kQuoteRefreshTime, c.quoteRefreshTime() - 1),
        clamp(kLockScreenTime, c.lockScreenTime() - 1), c.accountProtectOption() ? 1 : 0 };
    applyEnabled_ = false;
    emit changed();
}

void UserSettingWindowController::select(PopUp popUp, int index)
{
    if (popUp < 0 || popUp >= kPopUpCount || index < 0 || index >= items(popUp).size())
        return;
    selected_[popUp] = index;
    if (popUp == kProtectOption)
        accountProtectOptionChanged(index);
    else
        applyEnabled_ = true;
    emit changed();
}

void UserSettingWindowController::accountProtectOptionChanged(int index)
{
    if (userDefaultConfig->accountProtectOption() && index == 0) {
        const int answer = unlock_ ? unlock_(protectTip(), QStringLiteral("关闭")) : 0;
        if (answer == 0) {
            selected_[kProtectOption] = 1;
            return;
        }
    }
    applyEnabled_ = true;
}

void UserSettingWindowController::applyButtonClicked()
{
    UserDefaultConfig& c = *userDefaultConfig;
    c.setQuoteColorType(selected_[kQuoteColor]);
    c.setOrderColorType(selected_[kOrderColor]);
    c.setPlColorType(selected_[kPlColor]);
    c.setBuyDefaultType(selected_[kBuyDefaultPrice]);
    c.setSellDefaultType(selected_[kSellDefaultPrice]);
    c.setQuoteRefreshTime(selected_[kQuoteRefreshTime] + 1);
    c.setLockScreenTime(selected_[kLockScreenTime] + 1);
    c.setAccountProtectOption(selected_[kProtectOption] == 1);
    applyEnabled_ = false;
    emit changed();
}

void UserSettingWindowController::defaultButtonClicked()
{
    for (PopUp p : { kQuoteColor, kOrderColor, kPlColor, kBuyDefaultPrice, kSellDefaultPrice })
        selected_[p] = 0;
    selected_[kQuoteRefreshTime] = kDefaultRefreshIndex;
    selected_[kLockScreenTime] = kDefaultLockIndex;
    applyEnabled_ = true;
    emit changed();
}
