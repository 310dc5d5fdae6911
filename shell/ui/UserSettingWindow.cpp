#include "shell/ui/UserSettingWindow.h"

#include "core/ui/PopUp.h"
#include "shell/ui/UnlockScreenWindow.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using Settings = UserSettingWindowController;

UserSettingWindow::UserSettingWindow(Settings::Services services, QWidget* parent)
    : ui::Window(parent)
    , controller_(services)
{
    setObjectName(QStringLiteral("userSettingWindow"));
    setWindowTitle(QStringLiteral("用户设置"));
    controller_.setUnlockRunner([this](const QString& tip, const QString& closeButtonTitle) {
        // The window may close while the check runs (a screen lock closes
        // both); it goes only once the check has returned into it.
        setAttribute(Qt::WA_DeleteOnClose, false);
        auto* check = new UnlockScreenWindow({}, this);
        const int answer = check->runModal(tip, closeButtonTitle);
        setAttribute(Qt::WA_DeleteOnClose, true);
        if (isClosing())
            deleteLater();
        return answer;
    });

    const QStringList labels { QStringLiteral("行情颜色："), QStringLiteral("委托颜色："),
        QStringLiteral("盈亏颜色："), QStringLiteral("买入默认价格："), QStringLiteral("卖出默认价格："),
        QStringLiteral("行情刷新时间："), QStringLiteral("锁屏时间："), QStringLiteral("账户保护：") };
    auto* form = new QFormLayout;
    for (int i = 0; i < Settings::kPopUpCount; ++i) {
        const auto popUp = Settings::PopUp(i);
        auto* box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(Settings::objectName(popUp)));
        box->addItems(Settings::items(popUp));
        // Turning protection off asks for the trade password at once.
        if (popUp == Settings::kProtectOption)
            chooseInOpenList(box);
        connect(
            box, &QComboBox::activated, this, [this, popUp](int index) { controller_.select(popUp, index); });
        popUps_[size_t(i)] = box;
        form->addRow(labels[i], box);
    }
    auto* defaults = new QPushButton(QStringLiteral("默认"), this);
    defaults->setObjectName(QStringLiteral("defaultButton"));
    applyButton_ = new QPushButton(QStringLiteral("应用"), this);
    applyButton_->setObjectName(QStringLiteral("applyButton"));
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(defaults);
    buttons->addStretch();
    buttons->addWidget(applyButton_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(defaults, &QPushButton::clicked, &controller_, &Settings::defaultButtonClicked);
    connect(applyButton_, &QPushButton::clicked, &controller_, &Settings::applyButtonClicked);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(&controller_, &Settings::changed, this, &UserSettingWindow::refresh);
    controller_.showWindow();
    refresh();
}

UserSettingWindow::~UserSettingWindow() = default;

void UserSettingWindow::refresh()
{
    for (int i = 0; i < Settings::kPopUpCount; ++i) {
        const QSignalBlocker block(popUps_[size_t(i)]);
        popUps_[size_t(i)]->setCurrentIndex(controller_.selectedIndex(Settings::PopUp(i)));
    }
    applyButton_->setEnabled(controller_.applyEnabled());
}
