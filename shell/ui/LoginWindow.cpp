#include "shell/ui/LoginWindow.h"

#include "core/ui/SiteWindowController.h"
#include "shell/ui/AccountWindow.h"
#include "shell/ui/Buttons.h"
#include "shell/ui/LockScreenWindow.h"
#include "shell/ui/LoginView.h"
#include "shell/ui/SystemMessageWindow.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr int kBannerHeight = 96;
const QString kBannerTitle = QStringLiteral("Lumora 网上交易");
const QString kBannerSubtitle = QStringLiteral("沪深 A 股 · B 股 · 债券 · 基金 · 安全便捷的证券交易");

// The window's font grown by `factor`, whether the desktop sizes it in points or in pixels.
QFont bannerFont(const QFont& base, double factor, bool bold)
{
    QFont font = base;
    if (font.pixelSize() > 0)
        font.setPixelSize(qRound(font.pixelSize() * factor));
    else
        font.setPointSizeF(font.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}
QFont titleFont(const QFont& base)
{
    return bannerFont(base, 1.9, true);
}
QFont subtitleFont(const QFont& base)
{
    return bannerFont(base, 1.05, false);
}

// The banner's two lines: 44 and 26 pixels tall in the default font, each
// as tall as its line in a larger one, the banner growing below them.
struct BannerLines {
    int titleHeight;
    int subtitleTop;
    int subtitleHeight;
    int height;
};
BannerLines bannerLines(const QFont& base)
{
    BannerLines lines {};
    lines.titleHeight = std::max(44, QFontMetrics(titleFont(base)).height());
    lines.subtitleTop = 14 + lines.titleHeight - 2;
    lines.subtitleHeight = std::max(26, QFontMetrics(subtitleFont(base)).height());
    lines.height = std::max(kBannerHeight, lines.subtitleTop + lines.subtitleHeight + 14);
    return lines;
}

QPushButton* linkButton(const QString& title, const char* name, QWidget* parent)
{
    auto* button = new ColorRectButton(title, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setBoundColor(QColor::fromRgbF(0.345f, 0.349f, 0.356f));
    // The grey of the window's secondary links.
    button->setStyleSheet(QStringLiteral("QPushButton { color: rgb(88, 89, 91); padding: 8px 6px 10px 6px; }"));
    return button;
}
} // namespace

LoginWindow::LoginWindow(LoginWindowController::Services services, QWidget* parent)
    : ui::Window(parent)
    , controller_(services)
    , alerts_(this)
{
    setObjectName(QStringLiteral("loginWindow"));
    controller_.setAlertPresenter(&alerts_);
    setWindowTitle(controller_.windowTitle());

    loginView_ = new LoginView(controller_.loginViewController(), this);
    launchProgress_ = new QProgressBar(this);
    launchProgress_->setObjectName(QStringLiteral("launchProgress"));
    launchProgress_->setRange(0, 0);
    launchProgress_->setMaximumHeight(4);
    launchProgress_->setTextVisible(false);
    keepPlaceWhenHidden(launchProgress_);

    QPushButton* account = linkButton(QStringLiteral("账户管理"), "accountManagerButton", this);
    QPushButton* site = linkButton(QStringLiteral("服务器设置"), "switchSiteButtonButton", this);
    QPushButton* reserve = linkButton(QStringLiteral("预约开户"), "reserveAccountButtonButton", this);
    QPushButton* risk = linkButton(QStringLiteral("风险提示"), "riskTipsButtonButton", this);
    auto* web = new CursorButton(QStringLiteral("访问官网"), this);
    web->setObjectName(QStringLiteral("webLinkButton"));
    web->setCursor(QCursor(Qt::PointingHandCursor));
    web->setStyleSheet(QStringLiteral("QPushButton { color: #1a5fb4; padding: 8px 6px 10px 6px; }"));

    auto* links = new QHBoxLayout;
    links->setContentsMargins(24, 0, 24, 8);
    for (QPushButton* button : { account, site, reserve, risk })
        links->addWidget(button);
    links->addStretch();
    links->addWidget(web);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, bannerLines(font()).height, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(launchProgress_);
    layout->addWidget(loginView_);
    layout->addLayout(links);
    // A larger font widens the window rather than cut the links; the style
    // sheets' paddings count once polished.
    ensurePolished();
    // So does the banner, whose texts keep 28 and 30 pixels from either side.
    const int banner = std::max(QFontMetrics(titleFont(font())).horizontalAdvance(kBannerTitle) + 56,
        QFontMetrics(subtitleFont(font())).horizontalAdvance(kBannerSubtitle) + 60);
    setFixedWidth(std::max({ 460, layout->minimumSize().width(), banner + 1 }));

    connect(account, &QPushButton::clicked, &controller_, &LoginWindowController::manageAccountButtonClick);
    connect(site, &QPushButton::clicked, &controller_, &LoginWindowController::switchSiteButtonClick);
    connect(reserve, &QPushButton::clicked, &controller_, &LoginWindowController::reserveAccountButtonClick);
    connect(risk, &QPushButton::clicked, &controller_, &LoginWindowController::riskTipsButtonClick);
    connect(web, &QPushButton::clicked, &controller_, &LoginWindowController::mainPageClicked);
    connect(&controller_, &LoginWindowController::changed, this, &LoginWindow::refresh);
    connect(&controller_, &LoginWindowController::openUrlRequested, this,
        [](const QUrl& url) { QDesktopServices::openUrl(url); });
    connect(&controller_, &LoginWindowController::accountWindowRequested, this,
        [this] { accountWindow_.open([this] { return new AccountWindow({}, this); }); });
    connect(&controller_, &LoginWindowController::siteWindowRequested, this,
        [this] { siteWindow_.open([this] { return new SiteWindowController(this); }); });
    connect(&controller_, &LoginWindowController::systemMessagesReceived, this, &LoginWindow::showSystemMessages);
    refresh();
}

LoginWindow::~LoginWindow()
{
    if (cover_)
        cover_->close();
}

void LoginWindow::windowDidLoad()
{
    if (loaded_)
        return;
    loaded_ = true;
    controller_.windowDidLoad();
}

void LoginWindow::showEvent(QShowEvent* event)
{
    ui::Window::showEvent(event);
    windowDidLoad();
}

void LoginWindow::refresh()
{
    launchProgress_->setVisible(controller_.isLaunching());
    if (controller_.isCoverShown() && !cover_ && isVisible()) {
        cover_ = new LockScreenWindow(this);
        cover_->showOverParent();
    } else if (!controller_.isCoverShown() && cover_) {
        cover_->close();
    }
}

void LoginWindow::showSystemMessages(const std::vector<RDOSystemMessage>& messages)
{
    // Over the login window itself: a window in front when they came (the
    // account or server list, a box) would take them along as it closes.
    systemMessageWindow_.close();
    systemMessageWindow_.open([&] { return new SystemMessageWindow(messages, this); });
}

void LoginWindow::willClose()
{
    controller_.windowWillClose();
    if (cover_)
        cover_->close();
}

void LoginWindow::paintEvent(QPaintEvent* event)
{
    // The broker's banner above the form.
    const BannerLines lines = bannerLines(font());
    QPainter painter(this);
    QLinearGradient gradient(0, 0, width(), lines.height);
    gradient.setColorAt(0.0, QColor(0xb0, 0x0e, 0x28));
    gradient.setColorAt(1.0, QColor(0xdc, 0x3a, 0x3a));
    painter.fillRect(QRect(0, 0, width(), lines.height), gradient);
    painter.setPen(Qt::white);
    painter.setFont(titleFont(font()));
    painter.drawText(
        QRect(28, 14, width() - 56, lines.titleHeight), Qt::AlignLeft | Qt::AlignVCenter, kBannerTitle);
    painter.setFont(subtitleFont(font()));
    painter.setPen(QColor(255, 255, 255, 210));
    painter.drawText(QRect(30, lines.subtitleTop, width() - 60, lines.subtitleHeight),
        Qt::AlignLeft | Qt::AlignVCenter, kBannerSubtitle);
    QWidget::paintEvent(event);
}
