// The buy, sell and warrant exercise forms as a customer drives them: keys
// and clicks on the real widgets, against the simulator.
#include "trading/ui/TradeView.h"

#include "OrderFieldKeys.h"
#include "ShownWindow.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaultConfig.h"
#include "shell/ui/ScreenLocker.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/windows/SessionNotifications.h"
#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/Market.h"
#include "trading/pages/AfTradeViewController.h"
#include "trading/pages/WarrantExerciseViewController.h"
#include "trading/quotepanel/QuoteInfoView.h"
#include "trading/quotepanel/TimePointLineView.h"
#include "trading/ui/OrderAlertWindow.h"
#include "trading_pages/TradingPagesRig.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <gtest/gtest.h>

using testsupport::spinUntil;
using uitest::shown;
using namespace std::chrono_literals;

namespace {

class TradeViewTest : public pagestest::TradePageFixture {
protected:
    void SetUp() override
    {
        TradePageFixture::SetUp();
        registerOrderAlertWindow();
        logInWithShareholders();
    }
    void TearDown() override
    {
        view.reset();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w))
                delete box;
        OrderAlertWindowController::setViewFactory({});
        warrant.reset();
        TradePageFixture::TearDown();
    }
    // The page's form in an active window.
    void show(TradeViewController& page)
    {
        view = std::make_unique<TradeView>(page, &window);
        window.resize(1100, 760);
        view->resize(window.size());
        view->show();
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    QLineEdit* edit(const char* name) const { return view->findChild<QLineEdit*>(name); }
    QString name() const { return view->findChild<QLabel*>("stockNameText")->text(); }
    // Types a whole code into the code field and waits for its default price.
    void typeCode(const char* code)
    {
        QLineEdit* field = edit("stockCodeText");
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, code);
        ASSERT_TRUE(spinUntil([&] { return !edit("priceText")->text().isEmpty(); })) << code;
    }
    void clickStepper(bool up)
    {
        auto* button = view->findChild<QToolButton*>(up ? "priceStepperUp" : "priceStepperDown");
        ASSERT_TRUE(button && button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QWidget window;
    std::unique_ptr<TradeView> view;
    std::unique_ptr<WarrantExerciseViewController> warrant;
};

} // namespace

// Leaving the code field by Tab, Enter or a click elsewhere ends its editing:
// a short code is padded to six and looked up without any box. After Tab or
// Enter the price field is next; a click keeps the field clicked, so the
// digits typed next land there and not in the price.
TEST_F(TradeViewTest, LeavingTheCodeFieldPadsAndLooksTheCodeUp)
{
    TradeViewController& page = openPage(10000);
    show(page);
    QLineEdit* code = edit("stockCodeText");
    const struct {
        const char* typed;
        std::function<void()> leave;
        const char* padded;
        const char* next;
    } ways[] = {
        { "1", [&] { QTest::keyClick(code, Qt::Key_Tab); }, "000001", "priceText" },
        { "60000", [&] { QTest::mouseClick(edit("amountText"), Qt::LeftButton); }, "060000", "amountText" },
        { "1", [&] { QTest::keyClick(code, Qt::Key_Return); }, "000001", "priceText" },
        { "600000", [&] { QTest::mouseClick(edit("amountText"), Qt::LeftButton); }, "600000", "amountText" },
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.typed);
        QTest::mouseClick(code, Qt::LeftButton);
        code->selectAll();
        QTest::keyClick(code, Qt::Key_Delete);
        QTest::keyClicks(code, way.typed);
        ASSERT_TRUE(code->hasFocus());
        way.leave();
        EXPECT_EQ(code->text(), QString::fromLatin1(way.padded));
        EXPECT_EQ(page.codeText(), QString::fromLatin1(way.padded));
        EXPECT_TRUE(edit(way.next)->hasFocus());
        if (way.padded == QByteArray("000001"))
            EXPECT_TRUE(
                spinUntil([&] { return name() == market().security(QStringLiteral("000001"))->name; }));
        EXPECT_EQ(shown<QMessageBox>(), nullptr);
    }
    // The quantity typed after the click stays the quantity.
    ASSERT_TRUE(spinUntil([&] { return !edit("priceText")->text().isEmpty(); }));
    const QString price = edit("priceText")->text();
    QTest::keyClicks(QApplication::focusWidget(), "200");
    EXPECT_EQ(edit("amountText")->text(), QStringLiteral("200"));
    EXPECT_EQ(edit("priceText")->text(), price);
    EXPECT_EQ(page.priceText(), price);
}

// The code field takes digits only, six at most: a refused keystroke or
// paste leaves it as it was, with no message.
TEST_F(TradeViewTest, TheCodeFieldTakesSixDigitsOnly)
{
    TradeViewController& page = openPage(10000);
    show(page);
    QLineEdit* code = edit("stockCodeText");
    code->setFocus();
    QTest::keyClicks(code, "ab.c12");
    EXPECT_EQ(code->text(), QStringLiteral("12"));
    QGuiApplication::clipboard()->setText(QStringLiteral("34x"));
    QTest::keyClick(code, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(code->text(), QStringLiteral("12"));
    QGuiApplication::clipboard()->setText(QStringLiteral("34567"));
    QTest::keyClick(code, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(code->text(), QStringLiteral("12"));
    QTest::keyClicks(code, "0000");
    QTest::keyClicks(code, "1");
    EXPECT_EQ(code->text(), QStringLiteral("120000"));
    EXPECT_EQ(page.codeText(), QStringLiteral("120000"));
    EXPECT_EQ(shown<QMessageBox>(), nullptr);
}

// The price takes digits and one point, not the first character, and the
// quantity digits only, on the buy, sell, after-hours and warrant exercise
// pages alike; the page takes what the field shows.
TEST_F(TradeViewTest, ThePriceAndTheQuantityTakeOnlyWhatAnOrderCarries)
{
    const auto node = [](qint64 linkId) {
        auto made = std::make_shared<BaseNode>();
        made->nodeLinkId = linkId;
        return made;
    };
    pages.push_back(std::make_unique<AfTradeViewController>(node(10007)));
    TradeViewController& afterHours = *pages.back();
    afterHours.load();
    warrant = std::make_unique<WarrantExerciseViewController>(node(80000));
    warrant->load();
    const std::initializer_list<TradeViewController*> all
        = { &openPage(10000), &openPage(10001), &afterHours, warrant.get() };
    for (TradeViewController* page : all) {
        SCOPED_TRACE(page->menuInfo()->nodeLinkId);
        show(*page);
        uitest::typeIntoPriceAndQuantity(edit("priceText"), edit("amountText"), [&](QLineEdit* field) {
            return field == edit("priceText") ? page->priceText() : page->quantityText();
        });
    }
}

// Return in the quantity goes back to the code and places nothing; with the
// focus on the order button, Enter presses it as Space does.
TEST_F(TradeViewTest, EnterPlacesTheOrderFromTheOrderButtonOnly)
{
    TradeViewController& page = openPage(10000);
    show(page);
    typeCode("600000");
    QTest::keyClicks(edit("amountText"), "100");
    int dialogs = 0;
    whenShown([&](OrderAlertWindowController& c) {
        ++dialogs;
        c.cancelButtonClicked();
    });
    for (const Qt::Key key : { Qt::Key_Return, Qt::Key_Enter }) {
        edit("amountText")->setFocus();
        QTest::keyClick(edit("amountText"), key);
        EXPECT_TRUE(edit("stockCodeText")->hasFocus()) << key;
        EXPECT_FALSE(page.isBusy());
    }
    EXPECT_EQ(dialogs, 0);
    auto* button = view->findChild<QPushButton*>("orderButton");
    for (const Qt::Key key : { Qt::Key_Return, Qt::Key_Enter }) {
        window.activateWindow(); // back from the dialog of the last key
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        button->setFocus();
        ASSERT_TRUE(button->hasFocus());
        const int before = dialogs;
        QTest::keyClick(button, key);
        EXPECT_TRUE(spinUntil([&] { return dialogs == before + 1 && !page.isBusy(); })) << key;
    }
}

// Esc on the confirmation, its cancel button or its title bar's close give
// the keyboard back to the order button it came from: Space then asks
// again, it does not pick a position's row.
TEST_F(TradeViewTest, ClosingTheConfirmationGivesTheFocusBackToTheOrderButton)
{
    TradeViewController& page = openPage(10000);
    show(page);
    typeCode("600000");
    QTest::keyClicks(edit("amountText"), "100");
    int dialogs = 0;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& c) {
        const int way = dialogs++ % 3;
        QTimer::singleShot(0, &c, [way] {
            OrderAlertWindow* dialog = shown<OrderAlertWindow>();
            ASSERT_NE(dialog, nullptr);
            if (way == 0)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else if (way == 1)
                QTest::mouseClick(dialog->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
            else
                dialog->close();
        });
    });
    auto* button = view->findChild<QPushButton*>("orderButton");
    button->setFocus();
    for (int round = 1; round <= 4; ++round) {
        SCOPED_TRACE(round);
        QWidget* keyboard = QApplication::focusWidget();
        ASSERT_EQ(keyboard, button) << (keyboard ? keyboard->metaObject()->className() : "none");
        QTest::keyClick(keyboard, Qt::Key_Space);
        ASSERT_TRUE(spinUntil([&] { return dialogs == round && !page.isBusy(); }));
        EXPECT_EQ(shown<OrderAlertWindow>(), nullptr); // gone, whichever way it closed
        // The page's window takes the keyboard back, on the order button.
        EXPECT_TRUE(spinUntil([&] { return QApplication::activeWindow() == &window; }));
        QWidget* after = window.focusWidget();
        EXPECT_EQ(after, button) << (after ? qPrintable(after->objectName()) : "none");
    }
}

// The stepper beside the price moves it by the security's price step (0.03
// for this STAR share, whose precision alone would give 0.01), on the
// warrant exercise page by 0.001.
TEST_F(TradeViewTest, ThePriceStepperMovesByTheSecuritysStep)
{
    TradeViewController& page = openPage(10000);
    show(page);
    typeCode("688001");
    const auto security = StockManager::getInstance()->getSecurity(QStringLiteral("688001"));
    ASSERT_TRUE(security && security->priceStep);
    ASSERT_DOUBLE_EQ(*security->priceStep, 0.03);
    QLineEdit* price = edit("priceText");
    const double start = price->text().toDouble();
    sim.clearReceived();
    clickStepper(true);
    EXPECT_EQ(price->text(), QString::asprintf("%.2f", start + 0.03));
    clickStepper(false);
    clickStepper(false);
    EXPECT_EQ(price->text(), QString::asprintf("%.2f", start - 0.03));
    // On the buy page each step asks the maximum quantity for the new price.
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kMaxQuantityFunction) == 3; }));
    EXPECT_EQ(sim.receivedOf(brokersim::kMaxQuantityFunction).back().valueOr(u"price"), price->text());

    auto node = std::make_shared<BaseNode>();
    node->nodeLinkId = 80000;
    view.reset();
    warrant = std::make_unique<WarrantExerciseViewController>(node);
    warrant->load();
    show(*warrant);
    typeCode("580026");
    ASSERT_TRUE(spinUntil([&] { return edit("priceText")->text() == QStringLiteral("9.500"); }));
    clickStepper(true);
    EXPECT_EQ(edit("priceText")->text(), QStringLiteral("9.501"));
    clickStepper(false);
    clickStepper(false);
    EXPECT_EQ(edit("priceText")->text(), QStringLiteral("9.499"));
}

// A new code forgets the security shown before: a code the quote server does
// not know leaves no name, price, quote or account of the old one, and the
// confirmation shows none of them; the order still goes to the server,
// which judges the code.
TEST_F(TradeViewTest, ACodeThatCannotBeLookedUpKeepsNothingOfThePreviousSecurity)
{
    TradeViewController& page = openPage(10000);
    show(page);
    auto* accounts = view->findChild<QComboBox*>("shareholderCodePButton");
    ASSERT_TRUE(accounts->itemText(0).contains(QStringLiteral("0101000001")));
    typeCode("600000");
    const QString oldName = name();
    ASSERT_FALSE(oldName.isEmpty());
    ASSERT_TRUE(accounts->currentText().contains(QStringLiteral("A101000001")));
    ASSERT_TRUE(
        spinUntil([&] { return !page.quotePanel()->field(QuoteField::lastPriceText).text.isEmpty(); }));

    QLineEdit* code = edit("stockCodeText");
    code->setFocus();
    code->selectAll();
    QTest::keyClicks(code, "300750");
    EXPECT_TRUE(name().isEmpty());
    EXPECT_TRUE(edit("priceText")->text().isEmpty());
    EXPECT_TRUE(view->findChild<QLabel*>("maxAmountText")->text().isEmpty());
    EXPECT_TRUE(page.quotePanel()->field(QuoteField::lastPriceText).text.isEmpty());
    EXPECT_TRUE(page.quotePanel()->buyPrice(1).text.isEmpty());
    EXPECT_EQ(accounts->currentIndex(), 0);
    testsupport::spinFor(std::chrono::milliseconds(300)); // the lookup has failed
    EXPECT_TRUE(name().isEmpty());
    EXPECT_TRUE(edit("priceText")->text().isEmpty());

    QTest::keyClick(code, Qt::Key_Tab);
    QTest::keyClicks(edit("priceText"), "12.34");
    QTest::keyClick(edit("priceText"), Qt::Key_Tab);
    QTest::keyClicks(edit("amountText"), "100");
    QString confirmation;
    whenShown([&](OrderAlertWindowController& c) {
        confirmation = c.contentText();
        c.confirmButtonClicked();
    });
    sim.clearReceived();
    QTest::keyClick(edit("amountText"), Qt::Key_Tab);
    QTest::keyClick(view->findChild<QPushButton*>("orderButton"), Qt::Key_Return);
    ASSERT_TRUE(spinUntil([&] { return shown<QMessageBox>() != nullptr; }));
    EXPECT_TRUE(confirmation.contains(QStringLiteral("300750"))) << qPrintable(confirmation);
    EXPECT_FALSE(confirmation.contains(oldName)) << qPrintable(confirmation);
    EXPECT_FALSE(confirmation.contains(QStringLiteral("A101000001"))) << qPrintable(confirmation);
    const auto sent = sim.receivedOf(brokersim::kOrderFunction);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].valueOr(u"stkcode"), QStringLiteral("300750"));
    EXPECT_EQ(sent[0].valueOr(u"price"), QStringLiteral("12.34"));
}

// The form emptied for another account empties the quote panel with it.
TEST_F(TradeViewTest, AnAccountChangeEmptiesTheQuotePanel)
{
    TradeViewController& page = openPage(10001);
    show(page);
    typeCode("600000");
    ASSERT_TRUE(
        spinUntil([&] { return !page.quotePanel()->field(QuoteField::lastPriceText).text.isEmpty(); }));
    page.loginAccountChanged();
    EXPECT_TRUE(edit("stockCodeText")->text().isEmpty());
    EXPECT_TRUE(page.quotePanel()->field(QuoteField::lastPriceText).text.isEmpty());
    EXPECT_TRUE(page.quotePanel()->sellPrice(1).text.isEmpty());
    EXPECT_TRUE(page.quotePanel()->chart().timesharing.empty());
    // The emptied chart under the cross-hair: no code, nothing shown.
    auto* chart = view->findChild<QuoteInfoView*>("quoteView")->timePointLineView();
    chart->mouseDown(QPointF(40, 20));
    EXPECT_TRUE(page.quotePanel()->field(QuoteField::timeText).text.isEmpty());
    chart->mouseUp();
    EXPECT_TRUE(page.quotePanel()->field(QuoteField::currentPriceText).text.isEmpty());
}

// A double click on the confirmation's button sends one order; its second
// click may land on the page's window once the dialog has gone, and the
// window system makes that window active. The answer's box takes the
// keyboard back, so Enter closes it.
TEST_F(TradeViewTest, AfterADoubleClickOnTheConfirmationEnterClosesTheAnswer)
{
    TradeViewController& page = openPage(10000);
    show(page);
    typeCode("600000");
    QTest::keyClick(edit("stockCodeText"), Qt::Key_Return);
    QTest::keyClick(edit("priceText"), Qt::Key_Return);
    QTest::keyClicks(edit("amountText"), "100");
    OrderAlertWindowController::setShownHookForTesting([](OrderAlertWindowController& c) {
        QTimer::singleShot(0, &c, [] {
            OrderAlertWindow* dialog = shown<OrderAlertWindow>();
            ASSERT_NE(dialog, nullptr);
            auto* confirm = dialog->findChild<QPushButton*>("confirmButton");
            QTest::mouseClick(confirm, Qt::LeftButton);
            QTest::mouseDClick(confirm, Qt::LeftButton);
        });
    });
    sim.clearReceived();
    QTest::mouseClick(view->findChild<QPushButton*>("orderButton"), Qt::LeftButton);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(spinUntil([&] { return (box = shown<QMessageBox>()) != nullptr; }));
    EXPECT_EQ(sim.receivedCount(brokersim::kOrderFunction), 1);
    // The second click lands on the page's window, which the window system
    // makes active; the box takes the keyboard back.
    window.activateWindow();
    testsupport::spinFor(std::chrono::milliseconds(100));
    ASSERT_TRUE(spinUntil([&] { return QApplication::activeWindow() == box; }));
    QWidget* keyboard = QApplication::focusWidget();
    ASSERT_NE(keyboard, nullptr);
    EXPECT_EQ(keyboard->window(), box);
    QPointer<QMessageBox> answer(box);
    QTest::keyClick(keyboard, Qt::Key_Return);
    EXPECT_TRUE(spinUntil([&] { return !answer || !answer->isVisible(); }));
}

namespace {

// The classes of the windows on screen.
std::string onScreen()
{
    QStringList names;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            names << QString::fromLatin1(w->metaObject()->className());
    names.sort();
    return names.join(u',').toStdString();
}

QMessageBox* anyBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w))
            return box;
    return nullptr;
}

} // namespace

// The screen lock while an order's answer is pending: the confirmation
// dialog ends for good, nothing but the unlock window is on screen, and
// after the unlock the page's window takes input again; the answer that came
// meanwhile is shown then, not over the lock.
TEST_F(TradeViewTest, NoDialogOutlivesTheLockAndTheAnswerWaitsForTheUnlock)
{
    ScreenLocker locker;
    show(openPage(10000));
    typeCode("600000");
    QTest::keyClicks(edit("amountText"), "100");

    // Confirmed; while its answer has not come the screen locks, which ends
    // the dialog's run.
    NotificationCenter* centre = NotificationCenter::getInstance();
    bool busyAtTheLock = false;
    whenShown([&](OrderAlertWindowController& c) {
        c.confirmButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kOrderFunction) == 1; }));
        busyAtTheLock = c.isBusy() && shown<OrderAlertWindow>() != nullptr;
        centre->postNotification(sessionnotify::kLockScreen);
    });
    sim.withholdNext(brokersim::kOrderFunction);
    auto* order = view->findChild<QPushButton*>("orderButton");
    ASSERT_TRUE(spinUntil([&] { return order->isEnabled(); }));
    QTest::mouseClick(order, Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return locker.controller().isLocked(); }, 10s));
    EXPECT_TRUE(busyAtTheLock);
    testsupport::spinFor(50ms);
    EXPECT_EQ(onScreen(), "UnlockScreenWindow");
    // Gone, not hidden: the unlock cannot bring it back.
    const QWidgetList all = QApplication::topLevelWidgets();
    EXPECT_TRUE(
        std::none_of(all.begin(), all.end(), [](QWidget* w) { return qobject_cast<OrderAlertWindow*>(w); }));

    // The answer comes while locked: its box waits for the unlock.
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return anyBox() != nullptr; }));
    testsupport::spinFor(50ms);
    EXPECT_EQ(onScreen(), "UnlockScreenWindow");

    // The password confirmed: the page's window and the answer, no dialog.
    ASSERT_TRUE(locker.unlockWindow());
    locker.unlockWindow()->controller().identifyLogin(nullptr, QString(), RDOAccount());
    ASSERT_TRUE(spinUntil([&] { return !locker.unlockWindow(); }));
    EXPECT_EQ(onScreen(), "QMessageBox,QWidget");
    QMessageBox* box = shown<QMessageBox>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->informativeText().startsWith(QStringLiteral("委托申请已提交")))
        << qPrintable(box->informativeText());
    box->buttons().front()->click();
    ASSERT_TRUE(spinUntil([&] { return onScreen() == "QWidget"; }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // The form takes keys again.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::mouseClick(edit("amountText"), Qt::LeftButton);
    edit("amountText")->selectAll();
    QTest::keyClicks(edit("amountText"), "200");
    EXPECT_EQ(edit("amountText")->text(), QStringLiteral("200"));
}

// A code whose day has not come (failed, or not yet answered): the chart's
// cross-hair, its release, a click on the latest price and a change of the
// colour scheme show the security in the form, never the one shown before.
TEST_F(TradeViewTest, TheChartAndItsPricesBelongToTheCodeInTheForm)
{
    TradeViewController& page = openPage(10000);
    show(page);
    QuoteInfoViewController& panel = *page.quotePanel();
    auto* chart = view->findChild<QuoteInfoView*>("quoteView")->timePointLineView();
    ASSERT_NE(chart, nullptr);
    const struct {
        const char* what;
        std::function<void()> holdTheDay;
    } ways[] = {
        { "day failed",
            [&] { sim.answerErrorNext(brokersim::kTimesharingFunction, -1, QStringLiteral("暂停")); } },
        { "day late", [&] { sim.withholdNext(brokersim::kTimesharingFunction); } },
    };
    int scheme = 0;
    for (const auto& way : ways) {
        SCOPED_TRACE(way.what);
        typeCode("600000");
        ASSERT_TRUE(spinUntil([&] { return !panel.chart().timesharing.empty(); }));
        const auto before = StockManager::getInstance()->getSecurity(QStringLiteral("600000"));
        ASSERT_TRUE(before);

        sim.clearReceived();
        way.holdTheDay();
        QLineEdit* code = edit("stockCodeText");
        code->setFocus();
        code->selectAll();
        QTest::keyClicks(code, "000001");
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kTimesharingFunction) == 1; }));
        testsupport::spinFor(100ms);
        const auto now = StockManager::getInstance()->getSecurity(QStringLiteral("000001"));
        ASSERT_TRUE(now);
        ASSERT_EQ(panel.buyPrice(1).text, now->buyPriceText(1));

        // A press on the empty chart: no minute of 600000.
        chart->mouseDown(QPointF(40, 20));
        const quint64 minute = quint64(chart->getSelectedTimePointIndex());
        ASSERT_FALSE(before->selectedTimeText(minute).isEmpty());
        EXPECT_NE(panel.field(QuoteField::timeText).text, before->selectedTimeText(minute));
        EXPECT_EQ(panel.field(QuoteField::currentPriceText).text, now->selectedTimePriceText(minute));
        // The release shows 000001's latest, and so does a click on it.
        chart->mouseUp();
        EXPECT_EQ(panel.field(QuoteField::currentPriceText).text, now->lastPriceText());
        panel.priceButtonClicked(QuotePriceButton::currentPriceButton);
        EXPECT_EQ(edit("priceText")->text(), now->lastPriceText());

        // Another colour scheme repaints the form's security only.
        scheme = 1 - scheme;
        UserDefaultConfig::getInstance()->setQuoteColorType(scheme);
        EXPECT_EQ(panel.buyPrice(1).text, now->buyPriceText(1));
        EXPECT_EQ(panel.field(QuoteField::lastPriceText).text, now->lastPriceText());
        EXPECT_TRUE(panel.chart().timesharing.empty());
        sim.releaseWithheld();
        EXPECT_EQ(shown<QMessageBox>(), nullptr);
    }
}
