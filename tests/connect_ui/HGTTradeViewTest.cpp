#include "connect/ui/HGTTradeView.h"

#include "platform/ChinaClock.h"
#include "quotes/QuoteTestRig.h"
#include "shell/ui/tables/DVCommonTableView.h"
#include "support_gui/FieldExits.h"
#include "tools/broker-sim/HKFunctions.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/security/StockManager.h"
#include "trading/ui/OrderAlertWindow.h"
#include "trading_ui/OrderFieldKeys.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quotetest;
using testsupport::spinUntil;

namespace {

struct NoAlerts : AlertPresenter {
    std::vector<AlertRequest> shown;
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        shown.push_back(request);
        if (completion)
            completion(1);
    }
};

class HGTTradeViewTest : public MarketFixture {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerTradingDataModels();
        registerConnectDataModels();
        installConnectViews();
    }
    void TearDown() override
    {
        // Closed before it goes, so its last editing ends while the page stands.
        if (pageView)
            pageView->close();
        pageView.reset();
        buyPage.reset();
        OrderAlertWindowController::setShownHookForTesting({});
        OrderAlertWindowController::setViewFactory({});
        HGTRequestManager::resetInstance();
        StockManager::resetInstance();
        MarketFixture::TearDown();
    }
    // Logs in with a Stock Connect account and opens the buy page directly,
    // shown in a view of its own; its boxes go to `alerts`. The page's own
    // refresh keeps still (its clock is before the session), so every quote
    // asked is the form's.
    HGTTradeView* openBuyPage()
    {
        logInWithHolders({ { QStringLiteral("沪港通"), "5", "A101000001" } });
        HGTTradeViewControllerServices services;
        services.chinaNow = [] { return platform::ChinaClock::at(2026, 12, 2, 8, 0); };
        buyPage = std::make_unique<HGTTradeViewController>(nullptr, services);
        buyPage->setPageClass(QStringLiteral("HGTTradeViewController"));
        buyPage->load();
        pageView.reset(MenuItemViewCatalogue::shared().makeView(*buyPage, nullptr));
        buyPage->setAlertPresenter(&alerts);
        pageView->resize(720, 760);
        pageView->resize(pageView->sizeHint().expandedTo(QSize(800, 760)));
        pageView->show();
        return dynamic_cast<HGTTradeView*>(pageView.get());
    }
    // The buy page, its window active as the customer's is.
    HGTTradeView* openActiveBuyPage()
    {
        HGTTradeView* view = openBuyPage();
        return view && activate(view) ? view : nullptr;
    }
    // Opens the pop-up with a click and picks the item `downs` below the
    // first in its list.
    static void pick(QComboBox* popUp, int downs)
    {
        QTest::mouseClick(popUp, Qt::LeftButton);
        ASSERT_TRUE(popUp->view()->isVisible());
        for (int i = 0; i < downs; ++i)
            QTest::keyClick(popUp->view(), Qt::Key_Down);
        QTest::keyClick(popUp->view(), Qt::Key_Return);
        EXPECT_FALSE(popUp->view()->isVisible());
        EXPECT_EQ(popUp->currentIndex(), downs);
    }
    static bool activate(QWidget* window)
    {
        window->activateWindow();
        return QTest::qWaitForWindowActive(window);
    }
    // Until every quote, chart and maximum asked has its answer.
    bool settled() const
    {
        RequestSender& sender = HGTRequestManager::getInstance()->sender();
        DataModel* quotes = sender.dataModel(DMQuote5LevelEx::info.identifier);
        DataModel* charts = sender.dataModel(DMStockTimesharingInfo::info.identifier);
        DataModel* maxima = sender.dataModel(DMHGTQueryCombInfo::info.identifier);
        return quotes && charts && maxima && spinUntil([&] {
            return quotes->pendingHandleCount() + charts->pendingHandleCount() + maxima->pendingHandleCount()
                == 0;
        });
    }
    NoAlerts alerts;
    std::unique_ptr<HGTTradeViewController> buyPage;
    std::unique_ptr<MenuItemView> pageView;
    platform::ChinaClock::Override clock { platform::ChinaClock::at(2026, 12, 2, 10, 0) };
};

} // namespace

// Opened directly (no menu link leads here): type a code, see the quote and
// the rate, order, confirm, see the order number and the new position.
TEST_F(HGTTradeViewTest, TypeOrderConfirmAndSeeTheNewPosition)
{
    HGTTradeView* view = openBuyPage();
    ASSERT_NE(view, nullptr);
    HGTTradeViewController& page = *buyPage;

    QTest::keyClicks(view->codeField(), QStringLiteral("00700"));
    ASSERT_TRUE(spinUntil([&] {
        return view->nameLabel()->text() == QStringLiteral("港华控股") && !view->lotLabel()->text().isEmpty()
            && !view->maxQuantityLabel()->text().isEmpty() && !page.exchangeRateShown().isEmpty()
            && !view->priceField()->text().isEmpty();
    }));
    EXPECT_TRUE(page.quotePanel()->field(QuoteField::exchangeRateText).text.contains(QStringLiteral("0.92")))
        << page.quotePanel()->field(QuoteField::exchangeRateText).text.toStdString();
    EXPECT_EQ(view->lotLabel()->text(), QStringLiteral("100股"));
    EXPECT_TRUE(view->priceField()->hasFocus());

    // A price the market reaches at once, so the order fills.
    QTest::mouseClick(view->stepUpButton(), Qt::LeftButton);
    QTest::mouseClick(view->stepUpButton(), Qt::LeftButton);
    QTest::mouseClick(view->stepUpButton(), Qt::LeftButton);
    QTest::keyClicks(view->quantityField(), QStringLiteral("100"));
    OrderAlertWindowController::setShownHookForTesting(
        [](OrderAlertWindowController& c) { QTimer::singleShot(0, &c, [&c] { c.confirmButtonClicked(); }); });
    QTest::mouseClick(view->orderButton(), Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return !page.lastOrderNumber().isEmpty(); }));
    ASSERT_FALSE(alerts.shown.empty());
    EXPECT_EQ(
        alerts.shown.back().text, QStringLiteral("委托申请已提交，序号为%1。").arg(page.lastOrderNumber()));
    EXPECT_TRUE(view->quantityField()->text().isEmpty());
    ASSERT_TRUE(spinUntil([&] {
        const DTTablePtr table = page.positions();
        for (qsizetype row = 0; table && row < table->arrayController()->count(); ++row) {
            if (table->valueForTitle(row, QStringLiteral("证券代码")) == QLatin1String("00700"))
                return table->valueForTitle(row, QStringLiteral("股份余额")) == QLatin1String("1150");
        }
        return false;
    }));
    EXPECT_GT(view->positionTable()->model()->rowCount(), 0);

    if (const QByteArray dir = qgetenv("LUMORA_SCREENSHOT_DIR"); !dir.isEmpty())
        view->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/hgt-trade-page.png"));
}

// Each end of editing of the code and the price does its work (a short code
// is padded and looked up), also when nothing was typed; the focus moves on
// only after Return or Tab, also to the same field again. A click into
// another field keeps the field clicked, so the digits typed next land there
// and not in the price or the quantity. Return in the quantity goes round to
// the code and places nothing. A click on a button or a pop-up (an item
// picked in its list), a menu over the field and another window end no
// editing: the short code stays as typed, and keeps the focus. Shift+Tab
// still reaches the pop-ups, and the arrow keys choose in them.
TEST_F(HGTTradeViewTest, AClickKeepsTheFieldClickedReturnOrTabMovesOn)
{
    HGTTradeView* view = openActiveBuyPage();
    ASSERT_NE(view, nullptr);
    QLineEdit* code = view->codeField();
    QLineEdit* price = view->priceField();
    QLineEdit* quantity = view->quantityField();
    testsupport::leaveFields({
        { price, "1.5", [&] { QTest::mouseClick(code, Qt::LeftButton); }, "1.5", code },
        { price, "1.6", [&] { QTest::keyClick(price, Qt::Key_Return); }, "1.6", quantity },
        { quantity, "100", [&] { QTest::keyClick(quantity, Qt::Key_Return); }, "100", code },
        { code, "700", [&] { QTest::mouseClick(quantity, Qt::LeftButton); }, "00700", quantity },
        { code, "700", [&] { QTest::keyClick(code, Qt::Key_Tab); }, "00700", price },
        { code, "700", [&] { QTest::keyClick(code, Qt::Key_Return); }, "00700", price },
        { price, "1.7", [&] { QTest::keyClick(price, Qt::Key_Backtab); }, "1.7", code },
        { code, "700", [&] { QTest::mouseClick(view->stepUpButton(), Qt::LeftButton); }, "700", code },
        { code, "700", [&] { pick(view->accountPopUp(), 0); }, "700", code },
        { code, "700", [&] { pick(view->orderTypePopUp(), 1); }, "700", code },
        { code, "700",
            [&] {
                QContextMenuEvent menuAsked(
                    QContextMenuEvent::Mouse, QPoint(4, 4), code->mapToGlobal(QPoint(4, 4)));
                QApplication::sendEvent(code, &menuAsked);
                QWidget* menu = QApplication::activePopupWidget();
                ASSERT_NE(menu, nullptr);
                QTest::keyClick(menu, Qt::Key_Escape);
            },
            "700", code },
        { code, "700",
            [&] {
                QWidget other;
                other.show();
                EXPECT_TRUE(activate(&other));
                EXPECT_TRUE(activate(view));
            },
            "700", code },
    });
    // The code field now holds another code, not yet ended: nothing of
    // 00700 is shown for it.
    EXPECT_EQ(code->text(), QStringLiteral("2"));
    EXPECT_TRUE(view->nameLabel()->text().isEmpty()) << qPrintable(view->nameLabel()->text());
    EXPECT_TRUE(alerts.shown.empty());

    // With nothing typed, the code and the price still do their work when
    // left: the quote of the code, the maximum of the price.
    QTest::mouseClick(code, Qt::LeftButton); // leaves the price typed above
    ASSERT_TRUE(settled());
    qsizetype asked = sim.receivedCount(brokersim::kQuote5LevelExFunction);
    QTest::mouseClick(price, Qt::LeftButton); // leaves the code
    ASSERT_TRUE(settled());
    EXPECT_EQ(sim.receivedCount(brokersim::kQuote5LevelExFunction), asked + 1);
    asked = sim.receivedCount(brokersim::kHKCombInfoFunction);
    QTest::mouseClick(quantity, Qt::LeftButton); // leaves the price
    ASSERT_TRUE(settled());
    EXPECT_EQ(sim.receivedCount(brokersim::kHKCombInfoFunction), asked + 1);

    // Shift+Tab from the code reaches the order types, then the accounts.
    code->setFocus();
    QTest::keyClick(code, Qt::Key_Backtab);
    ASSERT_TRUE(view->orderTypePopUp()->hasFocus());
    // An arrow opens the order types' list: nothing is chosen or asked yet.
    const int type = buyPage->selectedOrderType();
    asked = sim.receivedCount(brokersim::kHKCombInfoFunction);
    QTest::keyClick(view->orderTypePopUp(), Qt::Key_Up);
    EXPECT_TRUE(view->orderTypePopUp()->view()->isVisible());
    EXPECT_EQ(buyPage->selectedOrderType(), type);
    QTest::keyClick(view->orderTypePopUp()->view(), Qt::Key_Escape);
    EXPECT_EQ(sim.receivedCount(brokersim::kHKCombInfoFunction), asked);
    QTest::keyClick(view->orderTypePopUp(), Qt::Key_Backtab);
    EXPECT_TRUE(view->accountPopUp()->hasFocus());
}

// The price takes digits and one point, not the first character, and the
// quantity digits only; the page takes what the field shows.
TEST_F(HGTTradeViewTest, ThePriceAndTheQuantityTakeOnlyWhatAnOrderCarries)
{
    HGTTradeView* view = openActiveBuyPage();
    ASSERT_NE(view, nullptr);
    uitest::typeIntoPriceAndQuantity(view->priceField(), view->quantityField(), [&](QLineEdit* field) {
        return field == view->priceField() ? buyPage->priceText() : buyPage->quantityText();
    });
}

// With the cursor still in the code field, a pick in each pop-up, a click on
// the order button, the confirmation dialog it opens (cancelled) and then
// another window send no quote, whose answer would put the default price
// over the one typed.
TEST_F(HGTTradeViewTest, ThePopUpsTheOrderButtonAndOtherWindowsLeaveThePriceTyped)
{
    registerOrderAlertWindow();
    HGTTradeView* view = openActiveBuyPage();
    ASSERT_NE(view, nullptr);
    QLineEdit* code = view->codeField();
    QLineEdit* price = view->priceField();
    QTest::keyClicks(code, QStringLiteral("00700"));
    ASSERT_TRUE(spinUntil([&] { return !price->text().isEmpty(); }));
    ASSERT_TRUE(settled());
    QTest::mouseClick(price, Qt::LeftButton);
    price->selectAll();
    QTest::keyClicks(price, QStringLiteral("1.234"));
    QTest::mouseClick(view->quantityField(), Qt::LeftButton);
    QTest::keyClicks(view->quantityField(), QStringLiteral("100"));
    QTest::mouseClick(code, Qt::LeftButton);
    ASSERT_TRUE(settled());
    const qsizetype asked = sim.receivedCount(brokersim::kQuote5LevelExFunction);

    QString shownPrice;
    int shown = 0;
    bool cancelled = false;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& c) {
        ++shown;
        shownPrice = c.orderParam().price();
        QTimer::singleShot(0, &c, [&] {
            auto* dialog = qobject_cast<OrderAlertWindow*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            // The dialog has taken the activation and the focus from the page.
            EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
            EXPECT_FALSE(code->hasFocus());
            QTest::mouseClick(
                dialog->findChild<QPushButton*>(QStringLiteral("cancelButton")), Qt::LeftButton);
            cancelled = true;
        });
    });
    pick(view->accountPopUp(), 0);
    pick(view->orderTypePopUp(), 1);
    QTest::mouseClick(view->orderButton(), Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return cancelled && !QApplication::activeModalWidget(); }));
    EXPECT_EQ(shownPrice, QStringLiteral("1.234"));
    ASSERT_TRUE(settled());
    EXPECT_EQ(sim.receivedCount(brokersim::kQuote5LevelExFunction), asked) << "after the dialog";
    ASSERT_TRUE(activate(view));
    EXPECT_TRUE(code->hasFocus());
    QWidget other;
    other.show();
    ASSERT_TRUE(activate(&other));

    ASSERT_TRUE(settled());
    EXPECT_EQ(sim.receivedCount(brokersim::kQuote5LevelExFunction), asked);
    EXPECT_EQ(price->text(), QStringLiteral("1.234"));
    EXPECT_EQ(buyPage->priceText(), QStringLiteral("1.234"));
    EXPECT_TRUE(alerts.shown.empty());

    // Tab still reaches the order button, and Enter there presses it.
    ASSERT_TRUE(activate(view));
    QTest::mouseClick(view->quantityField(), Qt::LeftButton);
    QTest::keyClick(view->quantityField(), Qt::Key_Tab);
    ASSERT_TRUE(view->orderButton()->hasFocus());
    cancelled = false;
    QTest::keyClick(view->orderButton(), Qt::Key_Return);
    ASSERT_TRUE(spinUntil([&] { return cancelled && !QApplication::activeModalWidget(); }));
    EXPECT_EQ(shown, 2);
}

// An account change takes the previous account's positions and the code it
// looked at off the screen before the new account's are asked for.
TEST_F(HGTTradeViewTest, AnAccountChangeEmptiesThePositionTableAndTheForm)
{
    HGTTradeView* view = openBuyPage();
    ASSERT_NE(view, nullptr);
    QTest::keyClicks(view->codeField(), QStringLiteral("00700"));
    ASSERT_TRUE(spinUntil([&] {
        return view->nameLabel()->text() == QStringLiteral("港华控股") && !view->maxQuantityLabel()->text().isEmpty()
            && view->positionTable()->model()->rowCount() > 0;
    }));
    sim.withholdNext(brokersim::kPositionsFunction);
    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    EXPECT_EQ(view->positionTable()->model()->rowCount(), 0);
    EXPECT_TRUE(view->codeField()->text().isEmpty());
    EXPECT_TRUE(view->nameLabel()->text().isEmpty());
    EXPECT_TRUE(view->maxQuantityLabel()->text().isEmpty());
    EXPECT_TRUE(view->lotLabel()->text().isEmpty());
    EXPECT_TRUE(buyPage->quotePanel()->buyPrice(1).text.isEmpty());
    EXPECT_TRUE(buyPage->quotePanel()->field(QuoteField::lastPriceText).text.isEmpty());
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    sim.releaseWithheld();
    EXPECT_TRUE(spinUntil([&] { return view->positionTable()->model()->rowCount() > 0; }));
}
