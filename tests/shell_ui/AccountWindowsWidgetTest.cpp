// The settings and message-centre windows and the password and greeting
// pages under the offscreen platform: their controls reach their controllers.
#include "login/ActionLeftUnknown.h"
#include "shell/MessageStoreRig.h"
#include "shell/WindowTestRig.h"
#include "shell/pages/ChangePasswordViewController.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/pages/ReservationInfoViewController.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/MessageBodyBrowser.h"
#include "shell/ui/MessageCenterWindow.h"
#include "shell/ui/UserSettingWindow.h"
#include "shell/ui/pages/AccountPageViews.h"
#include "shell/ui/pages/ChangePasswordView.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

using namespace shelltest;
using testsupport::spinUntil;

namespace {

template <class W> W* child(QObject* parent, const QString& name)
{
    W* found = parent->findChild<W*>(name);
    EXPECT_TRUE(found) << qPrintable(name);
    return found;
}

void press(QWidget* widget, int key)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &down);
}

class AccountWindowsWidgetTest : public ShellSimulatorFixture, public FilledMessageStore { };

} // namespace

TEST_F(AccountWindowsWidgetTest, SettingsPopUpsDefaultAndApply)
{
    auto* window = new UserSettingWindow;
    window->show();
    auto* refresh = child<QComboBox>(window, QStringLiteral("quoteRefreshTimePButton"));
    auto* lock = child<QComboBox>(window, QStringLiteral("lockScreenTimePButton"));
    auto* apply = child<QPushButton>(window, QStringLiteral("applyButton"));
    ASSERT_TRUE(refresh && lock && apply);
    EXPECT_EQ(refresh->currentText(), QStringLiteral("3秒"));
    EXPECT_EQ(lock->currentText(), QStringLiteral("10秒"));
    EXPECT_EQ(child<QComboBox>(window, QStringLiteral("buyDefaultPricePButton"))->count(), 7);
    EXPECT_FALSE(apply->isEnabled());

    press(lock, Qt::Key_Down);
    EXPECT_EQ(lock->currentText(), QStringLiteral("20秒"));
    EXPECT_TRUE(apply->isEnabled());
    apply->click();
    EXPECT_EQ(UserDefaultConfig::getInstance()->lockScreenTime(), 4);
    EXPECT_FALSE(apply->isEnabled());

    child<QPushButton>(window, QStringLiteral("defaultButton"))->click();
    EXPECT_EQ(lock->currentText(), QStringLiteral("10秒"));
    EXPECT_EQ(UserDefaultConfig::getInstance()->lockScreenTime(), 4) << "stored only by Apply";
    window->close();
    EXPECT_EQ(UserDefaultConfig::getInstance()->lockScreenTime(), 4);
}

TEST_F(AccountWindowsWidgetTest, MessageRowsExpandAndBodiesLoadNothing)
{
    ASSERT_TRUE(fill());

    int countPosts = 0;
    NotificationCenter::getInstance()->addObserver(
        this, [&] { ++countPosts; }, MessageCenterWindowController::kMessageCountChanged);
    auto* window = new MessageCenterWindow({ store.get(), nullptr });
    window->show();
    auto bodyOf = [&](int row) -> MessageBodyBrowser* {
        QWidget* cell = window->findChild<QWidget*>(QStringLiteral("messageRow%1").arg(row));
        return cell ? cell->findChild<MessageBodyBrowser*>(QStringLiteral("webView")) : nullptr;
    };
    ASSERT_TRUE(spinUntil([&] { return bodyOf(0) && !bodyOf(0)->toPlainText().isEmpty(); }));
    EXPECT_FALSE(bodyOf(1));
    // Pictures and style sheets are never fetched (a picture is a blank
    // pixel); only web links open.
    const QImage picture = bodyOf(0)
                               ->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("http://x/a.png")))
                               .value<QImage>();
    EXPECT_LE(picture.width(), 1);
    EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);
    EXPECT_FALSE(bodyOf(0)
                     ->loadResource(QTextDocument::StyleSheetResource, QUrl(QStringLiteral("http://x/a.css")))
                     .isValid());
    for (const auto& [url, opens] : { std::pair { "https://broker.example/n", true }, { "http://a/b", true },
             { "javascript:alert(1)", false }, { "file:///etc/passwd", false }, { "mailto:a@b", false } })
        EXPECT_EQ(MessageBodyBrowser::opensLink(QUrl(QString::fromLatin1(url))), opens) << url;

    QWidget* second = window->findChild<QWidget*>(QStringLiteral("messageRow1"));
    ASSERT_TRUE(second);
    auto* expand = child<QPushButton>(second, QStringLiteral("showHideButton"));
    // Its title in the selection's colour, in the system font at 10 points.
    EXPECT_EQ(expand->palette().color(QPalette::ButtonText), expand->palette().color(QPalette::Highlight));
    EXPECT_EQ(expand->font().pointSizeF(), 10.0);
    EXPECT_EQ(expand->font().family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    expand->click();
    ASSERT_TRUE(spinUntil([&] { return bodyOf(1) && !bodyOf(1)->toPlainText().isEmpty(); }));
    EXPECT_FALSE(bodyOf(0));
    EXPECT_EQ(store->getUnreadMessageCount(), 1);
    window->close();
    EXPECT_EQ(countPosts, 1);
    NotificationCenter::getInstance()->removeObserver(this);
}

TEST_F(AccountWindowsWidgetTest, ABlockedPictureInABodyShowsNothing)
{
    // The same body with and without its picture looks the same: nothing
    // drawn in its place.
    const auto render = [](const QString& html) {
        MessageBodyBrowser body;
        body.setFrameShape(QFrame::NoFrame);
        body.resize(240, 120);
        body.setHtml(html);
        body.show();
        return body.viewport()->grab().toImage();
    };
    for (const char* picture : { "<img src=\"https://www.lumora-broker.test/banner.png\">",
             "<img src=\"data:image/png;base64,AAAA\" width=\"64\" height=\"64\">", "<img>" }) {
        const QImage with = render(QStringLiteral("<p>%1</p>").arg(QString::fromLatin1(picture)));
        const QImage without = render(QStringLiteral("<p></p>"));
        ASSERT_EQ(with.size(), without.size());
        EXPECT_EQ(with, without) << picture;
    }
}

TEST_F(AccountWindowsWidgetTest, PasswordFieldsRefuseWhatDoesNotFitAndKeepAPasswordsWidth)
{
    registerAccountPageViews();
    ChangePasswordViewController controller;
    controller.setPageClass(QString::fromLatin1(ChangePasswordViewController::kPageClass));
    controller.load();
    std::unique_ptr<MenuItemView> view(MenuItemViewCatalogue::shared().makeView(controller, nullptr));
    auto* page = dynamic_cast<ChangePasswordView*>(view.get());
    ASSERT_TRUE(page);
    // On a wide page the three fields keep a password's width, one for all,
    // with the capital-account row shown or not.
    page->resize(1200, 600);
    page->show();
    const auto keepAPasswordsWidth = [page] {
        using Field = ChangePasswordViewController::Field;
        page->layout()->activate();
        const int width = page->field(Field::Current)->width();
        EXPECT_GE(width, page->fontMetrics().horizontalAdvance(QString(8, u'0')));
        EXPECT_LE(width, 300);
        EXPECT_EQ(page->field(Field::Fresh)->width(), width);
        EXPECT_EQ(page->field(Field::Confirm)->width(), width);
        // The button stands under the fields, not at the page's far edge.
        const QRect field = page->field(Field::Confirm)->geometry();
        const QRect button = child<QPushButton>(page, QStringLiteral("submitButton"))->geometry();
        EXPECT_LE(button.right(), field.right() + 20);
        EXPECT_GT(button.top(), field.bottom());
    };
    keepAPasswordsWidth();
    QLineEdit* fresh = page->field(ChangePasswordViewController::Field::Fresh);
    fresh->insert(QStringLiteral("abc123"));
    fresh->insert(QStringLiteral("&x"));
    fresh->insert(QString(40, u'9'));
    EXPECT_EQ(fresh->text(), QStringLiteral("abc123")) << "refused, not cut";
    EXPECT_EQ(controller.passwordText(ChangePasswordViewController::Field::Fresh), QStringLiteral("abc123"));

    // Switching the segment shows the capital-account row and wipes the fields.
    child<QPushButton>(page, QStringLiteral("passwordTypeSegment1"))->click();
    EXPECT_FALSE(child<QComboBox>(page, QStringLiteral("fundButton"))->isHidden());
    EXPECT_TRUE(fresh->text().isEmpty());
    EXPECT_TRUE(controller.passwordText(ChangePasswordViewController::Field::Fresh).isEmpty());
    keepAPasswordsWidth();
    EXPECT_TRUE(MenuItemViewManager::getInstance()->hasPageClass(
        QString::fromLatin1(ReservationInfoViewController::kPageClass)));
    MenuItemViewManager::resetInstance();
}

TEST_F(AccountWindowsWidgetTest, TheMainWindowOpensOneSettingsAndOneMessageWindow)
{
    QPointer<MainWindow> main = new MainWindow;
    installAccountWindows(*main);
    main->show();
    auto* settings = child<QToolButton>(main, QStringLiteral("userSettingButton"));
    auto* messages = child<QToolButton>(main, QStringLiteral("messageNotification"));
    ASSERT_TRUE(settings && messages);
    EXPECT_FALSE(settings->isHidden());
    settings->click();
    settings->click();
    messages->click();
    messages->click();
    EXPECT_EQ(main->findChildren<UserSettingWindow*>().size(), 1);
    EXPECT_EQ(main->findChildren<MessageCenterWindow*>().size(), 1);
    delete main.data();
    MenuItemViewManager::resetInstance();
}

namespace {
// A page that shows the money and reads it again when asked.
struct MoneyPage : MenuItemViewController {
    QStringList figuresShown() const override { return { owedfigure::kMoney }; }
    int rounds = 0;
    QStringList readOwed(const QStringList& owed) override
    {
        ++rounds;
        return owed;
    }
    using MenuItemViewController::figureRead;
    // Its read of the money, sent now, answered.
    void moneyRead(bool withRows)
    {
        RequestLedger::Answering answering(RequestLedger::sent(), withRows);
        figureRead(owedfigure::kMoney, withRows);
    }
};
} // namespace

// While an action of unknown outcome leaves figures a page shows owed, a line
// at the top of the page says they may be out of date, whichever page's
// layout it stands in, until the page has read them again with their rows.
TEST_F(AccountWindowsWidgetTest, APageSaysItsFiguresMayBeOutOfDateUntilReadAgain)
{
    registerAccountPageViews();
    AccountManager::getInstance()->addActiveAccount(std::make_shared<Account>());
    for (const char* pageClass : { "", ChangePasswordViewController::kPageClass }) {
        SCOPED_TRACE(pageClass);
        MoneyPage page;
        page.setPageClass(QString::fromLatin1(pageClass));
        page.load();
        std::unique_ptr<MenuItemView> view(MenuItemViewCatalogue::shared().makeView(page, nullptr));
        view->resize(800, 600);
        view->show();
        auto* mark = child<QLabel>(view.get(), QStringLiteral("outOfDateMark"));
        ASSERT_TRUE(mark);
        EXPECT_FALSE(mark->isVisible());
        actionLeftUnknown({ QString::fromLatin1(owedfigure::kMoney) });
        EXPECT_TRUE(mark->isVisible());
        EXPECT_EQ(mark->text(), QString::fromUtf8(MenuItemView::kOutOfDateText));
        ASSERT_TRUE(spinUntil([&] { return page.rounds > 0; }));
        page.moneyRead(false);
        EXPECT_TRUE(mark->isVisible());
        DMNotificationCenter::getInstance()->postNotification(
            NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
        page.moneyRead(true);
        EXPECT_FALSE(mark->isVisible());
    }
}

namespace {
// A page of a list and a field laid out top to bottom, left to right (a list
// beside its form, as the fund pages are), in a grid, or by hand.
class LaidOutPage final : public MenuItemView {
public:
    enum Kind { TopToBottom, LeftToRight, Grid, ByHand };

    LaidOutPage(MenuItemViewController& controller, Kind kind)
        : MenuItemView(controller)
        , list_(new QListWidget(this))
        , code_(new QLineEdit(this))
    {
        QBoxLayout* box = kind == TopToBottom ? static_cast<QBoxLayout*>(new QVBoxLayout(this))
            : kind == LeftToRight             ? new QHBoxLayout(this)
                                              : nullptr;
        if (box) {
            box->addWidget(list_);
            box->addWidget(code_, 0, Qt::AlignTop);
        } else if (kind == Grid) {
            auto* grid = new QGridLayout(this);
            grid->addWidget(code_, 0, 0);
            grid->addWidget(list_, 1, 0);
        }
    }
    QList<QRect> controls() const { return { list_->geometry(), code_->geometry() }; }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        MenuItemView::resizeEvent(event);
        if (!layout()) {
            const QRect room = contentsRect();
            code_->setGeometry(room.left(), room.top(), room.width(), 30);
            list_->setGeometry(room.left(), room.top() + 30, room.width(), room.height() - 30);
        }
    }

private:
    QListWidget* list_;
    QLineEdit* code_;
};
} // namespace

// The line stands across the top of the page whatever its layout: it covers
// no control, and its coming and going moves none.
TEST_F(AccountWindowsWidgetTest, TheOutOfDateLineCoversAndMovesNoControlOfAnyLayout)
{
    AccountManager::getInstance()->addActiveAccount(std::make_shared<Account>());
    const auto settle = [] {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    };
    for (auto kind :
        { LaidOutPage::TopToBottom, LaidOutPage::LeftToRight, LaidOutPage::Grid, LaidOutPage::ByHand }) {
        SCOPED_TRACE(kind);
        MoneyPage page;
        page.load();
        LaidOutPage view(page, kind);
        view.resize(700, 500);
        view.show();
        settle();
        auto* mark = child<QLabel>(&view, QStringLiteral("outOfDateMark"));
        const QList<QRect> before = view.controls();

        actionLeftUnknown({ QString::fromLatin1(owedfigure::kMoney) });
        settle();
        ASSERT_TRUE(mark->isVisible());
        EXPECT_EQ(mark->geometry(), QRect(0, 0, view.width(), mark->height()));
        EXPECT_GE(mark->height(), mark->fontMetrics().height());
        EXPECT_EQ(view.controls(), before);
        for (const QRect& control : before)
            EXPECT_FALSE(control.intersects(mark->geometry())) << qPrintable(QDebug::toString(control));
        // Narrower than the text, the one line ends in "…".
        view.resize(120, 500);
        EXPECT_TRUE(mark->text().endsWith(QStringLiteral("…")));
        EXPECT_EQ(mark->toolTip(), QString::fromUtf8(MenuItemView::kOutOfDateText));
        view.resize(700, 500);
        settle();

        ASSERT_TRUE(spinUntil([&] { return page.rounds > 0; }));
        page.moneyRead(true);
        settle();
        EXPECT_FALSE(mark->isVisible());
        EXPECT_EQ(view.controls(), before);
    }
    // A page that shows no figure an action may change keeps no band.
    MenuItemViewController plain;
    LaidOutPage noFigures(plain, LaidOutPage::TopToBottom);
    EXPECT_EQ(noFigures.contentsRect(), noFigures.rect());
}
