#pragma once

#include <QObject>
#include <QStringList>
#include <array>
#include <functional>

class UserDefaultConfig;
// What UserSettingWindowController works with; null ones are the shared instances.
struct UserSettingWindowControllerServices {
    UserDefaultConfig* userDefaultConfig = nullptr;
};

// The user settings window without its widgets: one pop-up per setting, the
// Default and Apply buttons. Nothing reaches the store before Apply, which
// calls only the setters whose value changed, so each change posts its
// notification once. Turning account protection off needs the trade
// password, asked through the unlock window. Main thread only.
class UserSettingWindowController final : public QObject {
    Q_OBJECT
public:
    using Services = UserSettingWindowControllerServices;
    enum PopUp {
        kQuoteColor,
        kOrderColor,
        kPlColor,
        kBuyDefaultPrice,
        kSellDefaultPrice,
        kQuoteRefreshTime,
        kLockScreenTime,
        kProtectOption,
        kPopUpCount
    };
    static constexpr int kDefaultRefreshIndex = 3; // "3秒"
    static constexpr int kDefaultLockIndex = 2; // "10秒"
    // Runs the unlock window modally with a tip and a close-button title;
    // answers 0 when the account was not unlocked.
    using UnlockRunner = std::function<int(const QString& tip, const QString& closeButtonTitle)>;

    explicit UserSettingWindowController(Services services = Services(), QObject* parent = nullptr);

    // The items of a pop-up, index 0 first.
    static const QStringList& items(PopUp popUp);
    // The object names of the pop-ups, in the order of PopUp.
    static const char* objectName(PopUp popUp);
    static QString protectTip();

    void setUnlockRunner(UnlockRunner runner) { unlock_ = std::move(runner); }

    int selectedIndex(PopUp popUp) const { return selected_[popUp]; }
    bool applyEnabled() const { return applyEnabled_; }
    bool isShown() const { return shown_; }

    // windowDidLoad: every pop-up on the store's value; Apply disabled.
    void windowDidLoad();
    void showWindow() { shown_ = true; }
    // A pop-up's choice: settingChanged, or accountProtectOptionChanged for
    // the protection pop-up.
    void select(PopUp popUp, int index);
    void applyButtonClicked();
    void defaultButtonClicked();
    // windowWillClose: unapplied changes are dropped.
    void windowWillClose() { shown_ = false; }

signals:
    void changed();

private:
    void accountProtectOptionChanged(int index);

    UserDefaultConfig* userDefaultConfig;
    UnlockRunner unlock_;
    std::array<int, kPopUpCount> selected_ {};
    bool applyEnabled_ = false;
    bool shown_ = false;
};
