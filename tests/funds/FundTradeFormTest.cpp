// The fund trade form against the simulator: code typing and lookups, the
// input checks, and the steps before an order (appropriateness check,
// notices, sign serial, confirmation, order, answers).
#include "FundTestRig.h"
#include "funds/cancel/FundCancelPages.h"
#include "funds/pages/OpdFundTradePages.h"
#include "funds/trade/OpdFundTradeViewController.h"
#include "platform/ChinaClock.h"
#include "platform/RunLoop.h"
#include "shell/pages/MenuItemViewManager.h"
#include "tools/broker-sim/BackOffice.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading_pages/AnswerAfterTheLock.h"

#include <QScopeGuard>
#include <QTimer>
#include <gtest/gtest.h>

using namespace fundtest;
using brokersim::Function;
using Form = OpdFundTradeViewController;

namespace {

struct Notices : IContractWindowPresenter {
    std::vector<std::shared_ptr<BusinessContractWindow>> shown;
    void present(const std::shared_ptr<BusinessContractWindow>& window, QObject*) override { shown.push_back(window); }
    void agree(size_t i)
    {
        if (i >= shown.size()) {
            ADD_FAILURE() << "notice " << i << " was never shown";
            return;
        }
        shown[i]->checkButtonClick(true);
        shown[i]->agreeButtonClick();
    }
};

struct Confirmation : IFundOrderConfirmation {
    std::vector<FundOrderDraft> drafts;
    std::function<void(qint32)> confirm;
    std::function<void()> cancel;
    bool open = false;
    void runModal(const FundOrderDraft& draft, std::function<void(qint32)> confirmed,
        std::function<void()> cancelled) override
    {
        drafts.push_back(draft);
        confirm = std::move(confirmed);
        cancel = std::move(cancelled);
        open = true;
    }
    void stopRunModal() override { open = false; }
};

} // namespace

class FundTradeForm : public FundSimulatorFixture {
protected:
    void SetUp() override
    {
        FundSimulatorFixture::SetUp();
        registerMoneyQuery();
        account = logIn();
    }
    void TearDown() override
    {
        resetMoneyQuery();
        FundSimulatorFixture::TearDown();
    }
    // `ownDialog`: the form's own confirmation dialog, not the recorder.
    std::unique_ptr<Form> make(qint32 type, bool ownDialog = false)
    {
        auto form = std::make_unique<Form>(
            type, Form::Services { nullptr, nullptr, nullptr, &notices, ownDialog ? nullptr : &confirmation });
        form->setAlertPresenter(&alerts);
        form->awakeFromNib();
        return form;
    }
    // Types a code as the user would and waits for its lookup.
    void type(Form& form, Form::Field field, const QString& code)
    {
        form.controlTextDidChange(field, code);
        form.codeEditEnd(field);
        const auto& fund = field == Form::TargetCode ? form.fundOfTranformTo() : form.currentFund();
        ASSERT_TRUE(spinUntil([&] { return fund.has_value(); }));
    }
    // The last of what a test reads back: a pipeline that stalled fails the
    // test that waited for it, never the whole run.
    template <class List> static auto lastOf(const List& list, const char* what)
    {
        if (list.empty()) {
            ADD_FAILURE() << "no " << what;
            return typename List::value_type();
        }
        return list.back();
    }
    QString last(Function f) const { return QString::fromUtf8(lastOf(receivedOf(f), "request").rawBody); }
    QString lastAlert() const { return lastOf(alerts.shown, "message box"); }
    FundOrderDraft lastDraft() const { return lastOf(confirmation.drafts, "confirmation"); }
    // A customer below the fund's level buys it and agrees the first notice.
    std::unique_ptr<Form> purchaseUpToTheSecondNotice()
    {
        book().setRiskLevel("010100000001", 1);
        auto form = make(Form::Purchase);
        type(*form, Form::Code, "000001");
        form->setText(Form::Amount, "1000");
        form->tradeButtonClicked();
        EXPECT_TRUE(spinUntil([&] { return notices.shown.size() == 1; }));
        notices.agree(0);
        EXPECT_TRUE(spinUntil([&] { return notices.shown.size() == 2; }));
        return form;
    }
    void acceptBothNotices()
    {
        ASSERT_TRUE(spinUntil([&] { return notices.shown.size() == 1; }));
        notices.agree(0);
        ASSERT_TRUE(spinUntil([&] { return notices.shown.size() == 2; }));
        notices.agree(1);
    }
    void cancelDialog()
    {
        ASSERT_TRUE(confirmation.cancel);
        confirmation.open = false;
        confirmation.cancel();
    }
    void confirmAndWait(Form& form)
    {
        ASSERT_TRUE(spinUntil([&] { return confirmation.open; }));
        confirmation.confirm(lastDraft().dialogType);
        ASSERT_TRUE(spinUntil([&] { return !form.isBusy(); }));
    }

    std::shared_ptr<Account> account;
    FundAlerts alerts;
    Notices notices;
    Confirmation confirmation;
};

TEST_F(FundTradeForm, AShortCodeIsPaddedLookedUpOnceAndTheFocusMovesOn)
{
    auto form = make(Form::Subscribe);
    form->controlTextDidChange(Form::Code, "1");
    form->codeEditEnd(Form::Code);
    EXPECT_EQ(form->text(Form::Code), "000001");
    EXPECT_EQ(form->focus(), Form::Amount);
    ASSERT_TRUE(spinUntil([&] { return form->currentFund().has_value(); }));
    EXPECT_EQ(count(brokersim::kFundInfoFunction), 1);
    EXPECT_EQ(form->text(Form::Name), QStringLiteral("青岚成长混合"));
    EXPECT_EQ(form->text(Form::Value), "1.0230");
    ASSERT_TRUE(spinUntil([&] { return !form->text(Form::AvailableBalance).isEmpty(); }));
    EXPECT_TRUE(form->text(Form::AvailableBalance).endsWith(QStringLiteral("元")));

    // A pick without a record empties the fund and asks nothing.
    form->subscribeTableSelectedItemChanged(std::nullopt);
    EXPECT_TRUE(form->text(Form::Code).isEmpty());
    EXPECT_TRUE(form->text(Form::Name).isEmpty());
    EXPECT_FALSE(form->currentFund().has_value());
    EXPECT_EQ(count(brokersim::kFundInfoFunction), 1);

    // Every code of 1 to 5 characters is padded; a full or an empty one stays.
    const struct {
        const char* typed;
        const char* ended;
    } codes[] = { { "7", "000007" }, { "12345", "012345" }, { "AB1", "000AB1" }, { "123456", "123456" },
        { "", "" } };
    for (const auto& c : codes) {
        form->controlTextDidChange(Form::Code, QString::fromLatin1(c.typed));
        form->codeEditEnd(Form::Code);
        EXPECT_EQ(form->text(Form::Code), c.ended) << c.typed;
    }
}

TEST_F(FundTradeForm, ALateLookupForAnotherCodeIsDropped)
{
    auto form = make(Form::Purchase);
    form->controlTextDidChange(Form::Code, "000001");
    form->controlTextDidChange(Form::Code, "000011");
    ASSERT_TRUE(spinUntil([&] { return count(brokersim::kFundInfoFunction) == 2 && form->currentFund(); }));
    EXPECT_EQ(form->currentFund()->code, "000011");
    EXPECT_EQ(form->text(Form::Name), QStringLiteral("远帆大盘精选"));
}

TEST_F(FundTradeForm, TransformLooksUpThePositionAndTheTargetSeparately)
{
    auto form = make(Form::Transform);
    type(*form, Form::Code, "000001");
    EXPECT_EQ(count(brokersim::kFundPositionFunction), 1);
    EXPECT_EQ(form->text(Form::Available), "10000.00");
    EXPECT_EQ(form->focus(), Form::TargetCode);
    type(*form, Form::TargetCode, "11");
    EXPECT_EQ(form->text(Form::TargetCode), "000011");
    EXPECT_EQ(form->text(Form::TargetName), QStringLiteral("远帆大盘精选"));
    EXPECT_EQ(form->text(Form::Name), QStringLiteral("青岚成长混合"));
    EXPECT_EQ(form->focus(), Form::Amount);
}

TEST_F(FundTradeForm, TheDividendLookupSelectsTheCurrentMethod)
{
    book().setDividendMethod("010100000001", "000001", "1");
    auto form = make(Form::Bonus);
    type(*form, Form::Code, "000001");
    ASSERT_TRUE(spinUntil([&] { return form->popUpIndex() == 1; }));
}

TEST_F(FundTradeForm, InputChecksShowTheirBoxesInTurnAndSendNothing)
{
    auto form = make(Form::Subscribe);
    form->tradeButtonClicked();
    EXPECT_EQ(alerts.shown,
        QStringList({ QStringLiteral("tip:请确认已经输入基金代码和认购金额。"), QStringLiteral("tip:基金信息请求失败。") }));
    EXPECT_FALSE(form->isBusy());
    EXPECT_EQ(count(brokersim::kFundAppropriatenessFunction), 0);
}

// The checks look at presence only: whatever amount is typed goes on to the
// dialog, and the server judges it; only what a body cannot carry is held
// back, at the form.
TEST_F(FundTradeForm, AnAmountTypedIsTheServersToJudge)
{
    auto form = make(Form::Subscribe);
    type(*form, Form::Code, "009901");
    for (const char* typed : { "0", "-5", "1.234", "1e3" }) {
        SCOPED_TRACE(typed);
        alerts.shown.clear();
        form->setText(Form::Amount, typed);
        form->tradeButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return confirmation.open; }));
        EXPECT_TRUE(alerts.shown.isEmpty());
        EXPECT_EQ(lastOf(lastDraft().values, "value"), QString::fromLatin1(typed));
        cancelDialog();
        EXPECT_FALSE(form->isBusy());
    }
    form->setText(Form::Amount, "1.234");
    form->tradeButtonClicked();
    confirmAndWait(*form);
    EXPECT_EQ(lastAlert(), QStringLiteral("error:委托金额不正确"));
    EXPECT_TRUE(last(brokersim::kFundSubscribeFunction).contains("&orderamt=1.234&"));
    form->setText(Form::Amount, "12&x=1");
    form->tradeButtonClicked();
    EXPECT_EQ(lastAlert(), QStringLiteral("tip:认购金额含有不能发送的字符"));
    EXPECT_FALSE(confirmation.open);
    EXPECT_FALSE(form->isBusy());
    EXPECT_EQ(count(brokersim::kFundSubscribeFunction), 1);
    EXPECT_EQ(form->text(Form::Amount), "12&x=1");
}

// What an input method in full-width mode types goes out as its digits;
// what no request can carry is refused at the form, naming the field, before
// the check, the notices, the serial or the confirmation.
TEST_F(FundTradeForm, FullWidthDigitsGoOutAsDigitsAndWhatCannotBeSentStaysAtTheForm)
{
    using namespace brokersim;
    book().setRiskLevel("010100000001", 5);
    const std::string tooLong(256, '1');
    const struct {
        qint32 viewType;
        const char* code;
        const char* amount;
        Function function;
        const char* sent; // nullptr: refused with `refusal`
        const char* refusal;
        const char* target = "１１";
    } cases[] = {
        { Form::Subscribe, "００９９０１", "\u3000１００", kFundSubscribeFunction,
            "&ofcode=009901&orderamt=100&", "" },
        { Form::Redeem, "００００01", "１００", kFundRedeemFunction, "&ofcode=000001&orderqty=100&", "" },
        { Form::Transform, "\u3000０００００１", "１００", kFundTransformFunction,
            "&orderqty=100&otherofcode=000011&", "" },
        { Form::Plan, "００００１", "１００", kFundPlanOpenFunction, "&ofcode=000001&orderamt=100&", "" },
        { Form::Purchase, "000001", "１０００元", kFundPurchaseFunction, nullptr,
            "申购金额含有不能发送的字符" },
        { Form::Purchase, "000001", tooLong.c_str(), kFundPurchaseFunction, nullptr,
            "申购金额过长：最多255个字符" },
        { Form::Redeem, "000001", "－１０", kFundRedeemFunction, nullptr, "赎回份额含有不能发送的字符" },
        { Form::Bonus, "00&001", "", kFundBonusSetFunction, nullptr, "基金代码含有不能发送的字符" },
        { Form::Transform, "000001", "100", kFundTransformFunction, nullptr, "转入代码含有不能发送的字符",
            "00=011" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        sim.clearReceived();
        auto form = make(c.viewType);
        if (c.sent)
            type(*form, Form::Code, QString::fromUtf8(c.code));
        else
            form->controlTextDidChange(Form::Code, QString::fromUtf8(c.code));
        if (c.viewType == Form::Transform && c.sent)
            type(*form, Form::TargetCode, QString::fromUtf8(c.target));
        else if (c.viewType == Form::Transform)
            form->controlTextDidChange(Form::TargetCode, QString::fromUtf8(c.target));
        form->setText(Form::Amount, QString::fromUtf8(c.amount));
        form->tradeButtonClicked();
        if (!c.sent) {
            EXPECT_EQ(lastAlert(), QStringLiteral("tip:") + QString::fromUtf8(c.refusal));
            EXPECT_FALSE(confirmation.open || form->isBusy());
            for (const Function f : { kFundAppropriatenessFunction, kFundSignNumberFunction, c.function })
                EXPECT_EQ(count(f), 0);
            continue;
        }
        ASSERT_TRUE(spinUntil([&] { return confirmation.open; }));
        EXPECT_EQ(lastDraft().amount, "100");
        confirmAndWait(*form);
        EXPECT_TRUE(last(c.function).contains(QLatin1String(c.sent))) << qPrintable(last(c.function));
    }
}

// The check runs by the value of the fund's "ischecksdx", and its verdict
// goes by the value of "sdx_status": "1.000" from a number field is 1. A
// fund without the check, or one suited, is bought with an empty serial.
TEST_F(FundTradeForm, TheCheckAndItsVerdictGoByTheValueOfTheirFlags)
{
    book().setRiskLevel("010100000001", 1); // below 000001's level
    const struct {
        const char* code;
        const char* checkFlag; // nullptr: as the simulator has it
        const char* verdict; // nullptr: the simulator's
        qsizetype checks;
    } cases[] = { { "110011", nullptr, nullptr, 0 }, { "110011", "0.000", nullptr, 0 },
        { "110011", "1.000", nullptr, 1 }, { "110011", " 1 ", nullptr, 1 },
        { "000001", nullptr, "1.000", 1 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
            << c.code << " " << (c.checkFlag ? c.checkFlag : "-") << " " << (c.verdict ? c.verdict : "-"));
        if (c.checkFlag) {
            sim.answerTablesNext(brokersim::kFundInfoFunction,
                { brokersim::Table()
                        .column("ofcode")
                        .column("ofname")
                        .column("tacode")
                        .column("ischecksdx")
                        .row({ c.code, QStringLiteral("远帆中小盘"), "05", c.checkFlag }) });
        }
        if (c.verdict) {
            brokersim::Table status;
            status.info = QStringLiteral("sdxstatus");
            sim.answerTablesNext(
                brokersim::kFundAppropriatenessFunction, { status.column("sdx_status").row({ c.verdict }) });
        }
        const qsizetype checked = count(brokersim::kFundAppropriatenessFunction);
        auto form = make(Form::Purchase);
        type(*form, Form::Code, QString::fromLatin1(c.code));
        form->setText(Form::Amount, "500");
        form->tradeButtonClicked();
        confirmAndWait(*form);
        EXPECT_EQ(count(brokersim::kFundAppropriatenessFunction) - checked, c.checks);
        EXPECT_TRUE(notices.shown.empty());
        EXPECT_TRUE(last(brokersim::kFundPurchaseFunction)
                        .contains(QStringLiteral("&ofcode=%1&orderamt=500&risksignsno=&").arg(c.code)));
    }
}

TEST_F(FundTradeForm, StatusOneGoesStraightOnAndASecondPressDoesNothing)
{
    auto form = make(Form::Purchase);
    type(*form, Form::Code, "000001");
    ASSERT_TRUE(spinUntil([&] { return !form->text(Form::AvailableBalance).isEmpty(); }));
    const qsizetype moneyAsked = count(brokersim::kMoneyFunction);
    form->setText(Form::Amount, "1000.50");
    form->tradeButtonClicked();
    form->tradeButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return confirmation.open; }));
    form->tradeButtonClicked();
    EXPECT_EQ(count(brokersim::kFundAppropriatenessFunction), 1);
    EXPECT_EQ(count(brokersim::kFundSignNumberFunction), 0);
    EXPECT_TRUE(notices.shown.empty());
    ASSERT_EQ(confirmation.drafts.size(), 1u);
    EXPECT_EQ(confirmation.drafts[0].values, QStringList({ QStringLiteral("青岚成长混合"), "000001", "1000.50" }));

    // What was confirmed is what goes out, whatever the field says now.
    form->setText(Form::Amount, "9999");
    confirmAndWait(*form);
    EXPECT_TRUE(last(brokersim::kFundPurchaseFunction).contains("&orderamt=1000.50&risksignsno=&tacode=98"));
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_TRUE(alerts.shown[0].startsWith(QStringLiteral("tip:委托申请已提交，委托序号为")));
    EXPECT_FALSE(confirmation.open);
    EXPECT_TRUE(form->text(Form::Amount).isEmpty());
    EXPECT_EQ(form->text(Form::Code), "000001");
    ASSERT_TRUE(spinUntil([&] { return count(brokersim::kMoneyFunction) > moneyAsked; }));
}

TEST_F(FundTradeForm, AcceptedNoticesBringTheSerialTheOrderCarries)
{
    auto form = purchaseUpToTheSecondNotice();
    form->tradeButtonClicked(); // still busy
    notices.agree(1);
    ASSERT_TRUE(spinUntil([&] { return confirmation.open; }));
    EXPECT_EQ(count(brokersim::kFundSignNoticeFunction), 1);
    EXPECT_EQ(count(brokersim::kFundAppropriatenessFunction), 1);
    ASSERT_EQ(count(brokersim::kFundSignNumberFunction), 1);
    const QString serial = lastDraft().signNumber;
    ASSERT_FALSE(serial.isEmpty());
    confirmAndWait(*form);
    EXPECT_TRUE(last(brokersim::kFundPurchaseFunction).contains("&risksignsno=" + serial + "&"));
    EXPECT_TRUE(lastAlert().startsWith(QStringLiteral("tip:委托申请已提交")));
}

TEST_F(FundTradeForm, DecliningTheSecondNoticeEndsSilently)
{
    auto form = purchaseUpToTheSecondNotice();
    ASSERT_EQ(notices.shown.size(), 2u);
    notices.shown[1]->cancelButtonClick();
    ASSERT_TRUE(spinUntil([&] { return !form->isBusy(); }));
    EXPECT_TRUE(alerts.shown.isEmpty());
    EXPECT_TRUE(confirmation.drafts.empty());
    EXPECT_EQ(count(brokersim::kFundSignNumberFunction), 0);
    EXPECT_EQ(form->text(Form::Amount), "1000");
}

TEST_F(FundTradeForm, ATransformChecksTheTargetAndSignsTheSource)
{
    auto form = make(Form::Transform); // the target's level 4 is above the customer's 3
    type(*form, Form::Code, "000001");
    type(*form, Form::TargetCode, "000011");
    form->setText(Form::Amount, "100");
    form->tradeButtonClicked();
    acceptBothNotices();
    EXPECT_TRUE(last(brokersim::kFundAppropriatenessFunction).contains("&ofcode=000011&tacode=05&oftrdid=3"));
    ASSERT_TRUE(spinUntil([&] { return confirmation.open; })) << alerts.shown.join("|").toStdString();
    EXPECT_TRUE(last(brokersim::kFundSignNumberFunction).contains("&ofcode=000001&tacode=98"));
    EXPECT_EQ(lastDraft().values,
        QStringList(
            { QStringLiteral("青岚成长混合"), "000001", "100", "000011", QStringLiteral("远帆大盘精选") }));
    // The order names the company of the fund bought (the source's is 98).
    confirmAndWait(*form);
    EXPECT_TRUE(last(brokersim::kFundTransformFunction)
                    .contains("&ofcode=000001&tacode=05&orderqty=100&otherofcode=000011&"));
    EXPECT_TRUE(lastAlert().startsWith(QStringLiteral("tip:委托申请已提交"))) << qPrintable(lastAlert());
}

// Each operation that is checked sends its own trade code and the company of
// the fund it buys; the broker refuses a code that does not fit the fund.
TEST_F(FundTradeForm, EachCheckedOperationSendsItsTradeCode)
{
    book().setRiskLevel("010100000001", 5);
    const struct {
        qint32 viewType;
        const char* code;
        const char* target;
        const char* checked;
    } cases[] = {
        { Form::Subscribe, "009901", nullptr, "&ofcode=009901&tacode=98&oftrdid=0" },
        { Form::Purchase, "000001", nullptr, "&ofcode=000001&tacode=98&oftrdid=1" },
        { Form::Plan, "000001", nullptr, "&ofcode=000001&tacode=98&oftrdid=2" },
        { Form::Transform, "000001", "000011", "&ofcode=000011&tacode=05&oftrdid=3" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.checked);
        alerts.shown.clear();
        auto form = make(c.viewType);
        type(*form, Form::Code, c.code);
        if (c.target)
            type(*form, Form::TargetCode, c.target);
        form->setText(Form::Amount, "100");
        form->tradeButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return confirmation.open || !alerts.shown.isEmpty(); }));
        EXPECT_TRUE(alerts.shown.isEmpty()) << qPrintable(alerts.shown.join("|"));
        EXPECT_TRUE(last(brokersim::kFundAppropriatenessFunction).endsWith(c.checked))
            << qPrintable(last(brokersim::kFundAppropriatenessFunction));
        cancelDialog();
    }
    // A wrong code is refused, and the press ends with the broker's word.
    sim.clearReceived();
    auto form = make(Form::Subscribe);
    type(*form, Form::Code, "000001"); // open for purchase, not subscription
    form->setText(Form::Amount, "100");
    alerts.shown.clear();
    form->tradeButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !form->isBusy(); }));
    EXPECT_EQ(alerts.shown, QStringList(QStringLiteral("error:业务类别不正确")));
}

TEST_F(FundTradeForm, ARefusalKeepsTheAmountAndCancelSendsNothing)
{
    auto form = make(Form::Purchase);
    type(*form, Form::Code, "009901"); // open for subscription only
    form->setText(Form::Amount, "1000");
    form->tradeButtonClicked();
    confirmAndWait(*form);
    EXPECT_EQ(lastAlert(), QStringLiteral("error:该基金暂停申购"));
    EXPECT_EQ(form->text(Form::Amount), "1000");
    // A refusal under the number of a time-out is still the server's own.
    sim.answerErrorNext(brokersim::kFundPurchaseFunction, 6, QStringLiteral("基金账户状态异常"));
    form->tradeButtonClicked();
    confirmAndWait(*form);
    EXPECT_EQ(lastAlert(), QStringLiteral("error:基金账户状态异常"));

    auto redeem = make(Form::Redeem);
    type(*redeem, Form::Code, "000001");
    redeem->setText(Form::Amount, "10");
    redeem->tradeButtonClicked();
    ASSERT_TRUE(confirmation.open);
    EXPECT_EQ(lastOf(lastDraft().values, "value"), QStringLiteral("巨额取消"));
    cancelDialog();
    EXPECT_FALSE(redeem->isBusy());
    EXPECT_EQ(count(brokersim::kFundRedeemFunction), 0);
}

// The plan body behind the account's prefix, from its first key on.
static std::string planBody(const QString& all)
{
    const qsizetype at = all.indexOf(QStringLiteral("&action="));
    return at < 0 ? std::string() : all.mid(at).toStdString();
}

TEST_F(FundTradeForm, APlanCarriesTheConfirmedCodesAndChinaDatesAndIsSentOnce)
{
    // 04:00 in China is still the day before in UTC: the dates must be China's.
    const platform::ChinaClock::Override clock(platform::ChinaClock::at(2026, 12, 7, 4, 0));
    auto form = make(Form::Plan);
    EXPECT_EQ(form->text(Form::ApplyDate), "2026-12-07");
    ASSERT_EQ(form->paymentDayItems().size(), 26);
    EXPECT_EQ(form->paymentDayItems().last(), QStringLiteral("每月26号"));
    type(*form, Form::Code, "110011");
    form->selectPaymentDay(25);
    form->setText(Form::Amount, "300");
    form->tradeButtonClicked();
    form->tradeButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return confirmation.open; }));
    form->tradeButtonClicked();
    EXPECT_EQ(confirmation.drafts.size(), 1u);
    EXPECT_EQ(lastDraft().dialogType, 10);
    confirmAndWait(*form);
    EXPECT_EQ(count(brokersim::kFundPlanOpenFunction), 1);
    EXPECT_EQ(planBody(last(brokersim::kFundPlanOpenFunction)),
        "&action=A&ofcode=110011&orderamt=300&overkind=0&actionmode=0&sendday=26&begindate=20261207"
        "&enddate=20271208&sqrq=2026-12-07&risksignsno=&tacode=05");
    ASSERT_FALSE(alerts.shown.isEmpty());
    EXPECT_TRUE(lastAlert().startsWith(QStringLiteral("tip:委托申请已提交，委托序号为")));
    EXPECT_EQ(book().plans().size(), 1);
    EXPECT_EQ(form->text(Form::Amount), "300"); // a plan leaves the form as it is

    // Weekly on Wednesday; a change during the dialog does not reach the plan.
    form->paymentPeriodChanged(1);
    EXPECT_EQ(form->paymentDayItems(),
        QStringList({ QStringLiteral("星期一"), QStringLiteral("星期二"), QStringLiteral("星期三"),
            QStringLiteral("星期四"), QStringLiteral("星期五") }));
    form->selectPaymentDay(2);
    form->setText(Form::Amount, "300");
    form->tradeButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return confirmation.open; }));
    EXPECT_EQ(lastDraft().values.mid(3, 3),
        QStringList({ QStringLiteral("每周"), QStringLiteral("星期三"), QStringLiteral("日期区间") }));
    form->paymentPeriodChanged(0);
    form->setText(Form::Amount, "900");
    confirmAndWait(*form);
    EXPECT_EQ(planBody(last(brokersim::kFundPlanOpenFunction)),
        "&action=A&ofcode=110011&orderamt=300&overkind=0&actionmode=3&sendday=3&begindate=20261207"
        "&enddate=20271208&sqrq=2026-12-07&risksignsno=&tacode=05");
}

TEST_F(FundTradeForm, APlanWithoutAmountOrFundSendsNothing)
{
    auto form = make(Form::Plan);
    form->tradeButtonClicked();
    EXPECT_EQ(alerts.shown,
        QStringList({ QStringLiteral("tip:请确认已经输入基金代码和定投金额。"),
            QStringLiteral("tip:基金信息请求失败。") }));
    type(*form, Form::Code, "110011");
    // An amount present goes on to the dialog, whatever its form.
    alerts.shown.clear();
    form->setText(Form::Amount, "-5");
    form->tradeButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return confirmation.open; }));
    EXPECT_TRUE(alerts.shown.isEmpty());
    cancelDialog();
    EXPECT_FALSE(form->isBusy());
    EXPECT_EQ(count(brokersim::kFundPlanOpenFunction), 0);
}

TEST_F(FundTradeForm, ThePlanPageSendsNothingBeforeTheAgreementAndPlacesAPlanAfterIt)
{
    InvestOntimeViewController page(nullptr, {}, Form::Services { nullptr, nullptr, nullptr, &notices, &confirmation });
    page.setAlertPresenter(&alerts);
    page.load();
    EXPECT_FALSE(page.isAccepted());
    EXPECT_EQ(page.fundTradeView(), nullptr);
    EXPECT_TRUE(InvestOntimeViewController::protocolText().startsWith(QStringLiteral("先阅读基金定投协议书")));
    EXPECT_EQ(count(brokersim::kFundInfoFunction), 0);
    EXPECT_EQ(count(brokersim::kFundPlanOpenFunction), 0);

    page.acceptButtonClicked();
    Form* form = page.fundTradeView();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->viewType(), Form::Plan);
    page.acceptButtonClicked();
    EXPECT_EQ(page.fundTradeView(), form);
    type(*form, Form::Code, "110011");
    form->setText(Form::Amount, "100");
    form->tradeButtonClicked();
    confirmAndWait(*form);
    EXPECT_EQ(count(brokersim::kFundPlanOpenFunction), 1);
    EXPECT_TRUE(lastAlert().startsWith(QStringLiteral("tip:委托申请已提交，委托序号为")));

    // A new set-up asks for the agreement again.
    page.load();
    EXPECT_FALSE(page.isAccepted());
    EXPECT_EQ(page.fundTradeView(), nullptr);
}

// A press sends the pipeline's requests and nothing else (no risk-level
// match): the appropriateness check, the notice's sign and the sign serial
// when the fund does not suit the customer, then the order.
TEST_F(FundTradeForm, APressSendsNothingButThePipeline)
{
    const struct {
        const char* name;
        qint32 viewType;
        qint32 customerLevel;
        const char* code;
        const char* target;
        QStringList beforeConfirmation;
    } cases[] = {
        { "purchase suits", Form::Purchase, 5, "000001", nullptr, { "500/1639" } },
        { "subscribe suits", Form::Subscribe, 5, "009901", nullptr, { "500/1639" } },
        { "plan suits", Form::Plan, 5, "000001", nullptr, { "500/1639" } },
        { "purchase with notices", Form::Purchase, 1, "000001", nullptr, { "500/1639", "500/1647", "500/1646" } },
        { "transform with notices", Form::Transform, 3, "000001", "000011", { "500/1639", "500/1647", "500/1646" } },
    };
    // What went out, less the form's own look-ups (fund, shares, money),
    // which may still be on their way from the typing.
    const auto sent = [this] {
        QStringList functions;
        for (const brokersim::Request& r : sim.received()) {
            if (r.logon || r.function == brokersim::kFundInfoFunction || r.function == brokersim::kFundPositionFunction
                || r.function == brokersim::kMoneyFunction)
                continue;
            functions << QStringLiteral("%1/%2").arg(r.function.main).arg(r.function.sub);
        }
        return functions;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        notices.shown.clear();
        book().setRiskLevel("010100000001", c.customerLevel);
        auto form = make(c.viewType);
        type(*form, Form::Code, c.code);
        if (c.target)
            type(*form, Form::TargetCode, c.target);
        form->setText(Form::Amount, "100");
        sim.clearReceived();
        form->tradeButtonClicked();
        if (c.customerLevel < 3 || c.target)
            acceptBothNotices();
        ASSERT_TRUE(spinUntil([&] { return confirmation.open; }));
        EXPECT_EQ(sent(), c.beforeConfirmation);
        confirmAndWait(*form);
        EXPECT_EQ(count(brokersim::kFundRiskMatchFunction), 0);
    }
}

// The match's callbacks, should an answer come: success starts the pipeline
// as a press would, failure shows the error's text in an error box; both a
// moment later, never within the call.
TEST_F(FundTradeForm, TheRiskLevelMatchCallbacksStartThePipelineOrShowTheError)
{
    book().setRiskLevel("010100000001", 5);
    auto form = make(Form::Purchase);
    type(*form, Form::Code, "000001");
    form->setText(Form::Amount, "100");
    RDOUserRiskLevelMatchInfo unmatched;
    unmatched.isMatched = false;
    form->userRiskLevelMatch(nullptr, QString(), unmatched);
    EXPECT_EQ(count(brokersim::kFundAppropriatenessFunction), 0);
    ASSERT_TRUE(spinUntil([&] { return confirmation.open; }));
    EXPECT_TRUE(last(brokersim::kFundAppropriatenessFunction).endsWith("&ofcode=000001&tacode=98&oftrdid=1"));
    EXPECT_EQ(lastDraft().values, QStringList({ QStringLiteral("青岚成长混合"), "000001", "100" }));
    // A second answer while the first is being confirmed starts nothing.
    form->userRiskLevelMatch(nullptr, QString(), RDOUserRiskLevelMatchInfo());
    testsupport::spinFor(50ms);
    EXPECT_EQ(count(brokersim::kFundAppropriatenessFunction), 1);
    EXPECT_EQ(confirmation.drafts.size(), 1u);
    cancelDialog();
    EXPECT_TRUE(alerts.shown.isEmpty());

    EXPECT_TRUE(form->userRiskLevelMatch(nullptr, QString(), CSError { QStringLiteral("风险等级查询失败"), 7 }));
    EXPECT_TRUE(alerts.shown.isEmpty());
    ASSERT_TRUE(spinUntil([&] { return !alerts.shown.isEmpty(); }));
    EXPECT_EQ(alerts.shown, QStringList(QStringLiteral("error:风险等级查询失败")));
    EXPECT_FALSE(form->isBusy());
    EXPECT_EQ(confirmation.drafts.size(), 1u);

    // The sender still speaks the function, and its answer reaches the form.
    sim.clearReceived();
    OrderManagerFunds::getInstance()->requestUserRiskLevelMatchInfo(form.get(), "98", "000001", "3");
    ASSERT_TRUE(spinUntil([&] { return confirmation.open; }));
    EXPECT_TRUE(last(brokersim::kFundRiskMatchFunction).endsWith("&tacode=98&ofcode=000001&risklevel=3"));
    cancelDialog();
}

TEST_F(FundTradeForm, RedeemAndDividendsCarryTheChosenOption)
{
    const struct {
        qint32 viewType;
        qint32 choice;
        brokersim::Function function;
        const char* sent;
        const char* shown;
    } cases[] = {
        { Form::Redeem, 0, brokersim::kFundRedeemFunction, "&ofcode=000001&orderqty=10&redeemtype=0", "巨额取消" },
        { Form::Redeem, 1, brokersim::kFundRedeemFunction, "&ofcode=000001&orderqty=10&redeemtype=1", "巨额顺延" },
        { Form::Bonus, 0, brokersim::kFundBonusSetFunction, "&ofcode=000001&dividmethod=0", "红利转投" },
        { Form::Bonus, 1, brokersim::kFundBonusSetFunction, "&ofcode=000001&dividmethod=1", "现金分红" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        sim.clearReceived();
        auto form = make(c.viewType);
        // The current method (cash) comes after the fund: chosen once it is in.
        book().setDividendMethod("010100000001", "000001", "1");
        type(*form, Form::Code, "000001");
        if (c.viewType == Form::Bonus)
            ASSERT_TRUE(spinUntil([&] { return form->popUpIndex() == 1; }));
        form->selectPopUp(c.choice);
        form->setText(Form::Amount, "10");
        form->tradeButtonClicked();
        ASSERT_TRUE(confirmation.open); // no check before these two
        EXPECT_EQ(lastOf(lastDraft().values, "value"), QString::fromUtf8(c.shown));
        confirmAndWait(*form);
        EXPECT_EQ(count(brokersim::kFundRiskMatchFunction), 0);
        ASSERT_EQ(count(c.function), 1);
        EXPECT_TRUE(last(c.function).endsWith(c.sent)) << qPrintable(last(c.function));
        EXPECT_TRUE(lastAlert().startsWith(QStringLiteral("tip:委托申请已提交"))) << qPrintable(lastAlert());
    }
}

// The serial belongs to the order it was signed for: emptied at every press.
TEST_F(FundTradeForm, TheSignSerialIsClearedAtThePressAndAPlanCarriesItsOwn)
{
    auto form = purchaseUpToTheSecondNotice();
    notices.agree(1);
    confirmAndWait(*form);
    const QString signedSerial = lastDraft().signNumber;
    ASSERT_FALSE(signedSerial.isEmpty());
    EXPECT_TRUE(last(brokersim::kFundAppropriatenessFunction).endsWith("&oftrdid=1"));
    EXPECT_TRUE(last(brokersim::kFundPurchaseFunction).contains("&risksignsno=" + signedSerial + "&"));

    type(*form, Form::Code, "110011"); // no check for this fund
    form->setText(Form::Amount, "500");
    form->tradeButtonClicked();
    confirmAndWait(*form);
    EXPECT_EQ(count(brokersim::kFundAppropriatenessFunction), 1);
    EXPECT_TRUE(last(brokersim::kFundPurchaseFunction).contains("&ofcode=110011&orderamt=500&risksignsno=&"));

    // A plan on a fund that needs the check: its own notices and serial.
    notices.shown.clear();
    auto plan = make(Form::Plan);
    type(*plan, Form::Code, "000001");
    plan->setText(Form::Amount, "300");
    const qsizetype moneyAsked = count(brokersim::kMoneyFunction);
    plan->tradeButtonClicked();
    acceptBothNotices();
    confirmAndWait(*plan);
    EXPECT_TRUE(last(brokersim::kFundAppropriatenessFunction).endsWith("&ofcode=000001&tacode=98&oftrdid=2"));
    const QString planSerial = lastDraft().signNumber;
    ASSERT_FALSE(planSerial.isEmpty());
    EXPECT_TRUE(last(brokersim::kFundPlanOpenFunction).contains("risksignsno=" + planSerial))
        << qPrintable(last(brokersim::kFundPlanOpenFunction));
    // After a plan nothing more happens: the form keeps its input and the
    // money is not asked again.
    EXPECT_TRUE(lastAlert().startsWith(QStringLiteral("tip:委托申请已提交")));
    testsupport::spinFor(50ms);
    EXPECT_EQ(plan->text(Form::Amount), "300");
    EXPECT_EQ(count(brokersim::kMoneyFunction), moneyAsked);
}

// An order whose answer never comes: its outcome is unknown, the page asks
// for the money and its list again, and the order is never sent again.
TEST_F(FundTradeForm, AWithheldOrderEndsInOutcomeUnknownAndIsNeverSentAgain)
{
    RedeemOpdFundViewController page(nullptr, {}, Form::Services { nullptr, nullptr, nullptr, &notices, &confirmation });
    page.setAlertPresenter(&alerts);
    page.load();
    Form* form = page.fundTradeView();
    ASSERT_TRUE(form);
    type(*form, Form::Code, "000001");
    form->setText(Form::Amount, "10");
    OrderManagerFunds::getInstance()->sender().setRequestTimeout(1);
    sim.withholdNext(brokersim::kFundRedeemFunction);
    const qsizetype moneyAsked = count(brokersim::kMoneyFunction);
    const qsizetype positionsAsked = count(brokersim::kFundPositionFunction);
    form->tradeButtonClicked();
    ASSERT_TRUE(confirmation.open);
    confirmation.confirm(lastDraft().dialogType);
    ASSERT_TRUE(spinUntil([&] { return !form->isBusy(); }, 10s));
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_TRUE(alerts.shown[0].startsWith("error:")) << qPrintable(alerts.shown[0]);
    EXPECT_TRUE(alerts.shown[0].contains(QStringLiteral("委托结果未知"))) << qPrintable(alerts.shown[0]);
    EXPECT_FALSE(confirmation.open);
    EXPECT_EQ(form->text(Form::Amount), "10");
    // The position list, as the server has it now; the redeem page shows
    // no money to read again.
    ASSERT_TRUE(spinUntil([&] { return count(brokersim::kFundPositionFunction) > positionsAsked; }));
    ASSERT_TRUE(spinUntil([&] { return page.figuresOutOfDate().isEmpty(); }));
    EXPECT_EQ(count(brokersim::kMoneyFunction), moneyAsked);
    sim.releaseWithheld();
    testsupport::spinFor(100ms);
    EXPECT_EQ(count(brokersim::kFundRedeemFunction), 1);
    EXPECT_EQ(alerts.shown.size(), 1);
}

// The holdings list, owed after a redemption of unknown outcome, read again
// in rounds against a server that keeps failing it: while the customer is
// away its box stays the only one; once closed, the next failure is told.
TEST_F(FundTradeForm, AListFailingInRoundsIsToldOnceWhileItsBoxIsOpen)
{
    OwedReads::getInstance()->setRoundDelays({ std::chrono::hours(1), std::chrono::hours(1), std::chrono::hours(1) });
    RedeemOpdFundViewController page(nullptr, {}, Form::Services { nullptr, nullptr, nullptr, &notices, &confirmation });
    page.setAlertPresenter(&alerts);
    page.load();
    page.fundListView()->setAlertPresenter(&alerts);
    Form* form = page.fundTradeView();
    ASSERT_TRUE(form);
    type(*form, Form::Code, "000001");
    form->setText(Form::Amount, "10");
    sim.withholdNext(brokersim::kFundRedeemFunction);
    sim.answerErrorNext(brokersim::kFundPositionFunction, -1, QStringLiteral("系统忙"), 20);
    form->tradeButtonClicked();
    confirmation.confirm(lastDraft().dialogType);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    const std::shared_ptr<CSNetwork> trade = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
    trade->connectionSendPacketsTimeout(
        *trade->connection(), { quint64(receivedOf(brokersim::kFundRedeemFunction).back().packetId) });
    const auto failures = [&] { return alerts.shown.count(QStringLiteral("error:系统忙")); };
    alerts.hold = true; // the customer is away
    for (int round = 1; round <= 4; ++round) {
        SCOPED_TRACE(round);
        const qsizetype asked = count(brokersim::kFundPositionFunction);
        if (round > 1)
            DMNotificationCenter::getInstance()->postNotification(
                NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
        ASSERT_TRUE(spinUntil([&] {
            return count(brokersim::kFundPositionFunction) > asked && !OwedReads::getInstance()->roundInFlight()
                && OwedReads::getInstance()->roundWait().count() > 0;
        }));
        EXPECT_EQ(failures(), round < 4 ? 1 : 2);
        if (round == 3) { // back, the box closed
            alerts.hold = false;
            alerts.dismissHeld();
        }
    }
    sim.clearControls();
    DMNotificationCenter::getInstance()->postNotification(
        NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
    ASSERT_TRUE(spinUntil([&] { return page.figuresOutOfDate().isEmpty(); }));
    // A reload the customer asks that fails is told.
    sim.answerErrorNext(brokersim::kFundPositionFunction, -1, QStringLiteral("系统忙"));
    page.fundListView()->requestTableContent();
    ASSERT_TRUE(spinUntil([&] { return failures() == 3; }));
    EXPECT_EQ(count(brokersim::kFundRedeemFunction), 1); // never sent again
}

// A dividend setting of unknown outcome leaves the fund's method owed: the
// page reads it again, and says its figures may be out of date while that
// read fails; once read, the pop-up shows the method the server holds, not
// the one the customer chose.
TEST_F(FundTradeForm, ADividendSettingLeftUnknownHasTheFundsMethodReadAgain)
{
    OwedReads::getInstance()->setRoundDelays(
        { std::chrono::hours(1), std::chrono::hours(1), std::chrono::hours(1) });
    BonusSettingViewController page(
        nullptr, {}, Form::Services { nullptr, nullptr, nullptr, &notices, &confirmation });
    page.setAlertPresenter(&alerts);
    page.load();
    Form* form = page.fundTradeView();
    ASSERT_TRUE(form);
    book().setDividendMethod("010100000001", "000001", "1");
    type(*form, Form::Code, "000001");
    ASSERT_TRUE(spinUntil([&] { return form->popUpIndex() == 1; }));
    form->selectPopUp(0);
    sim.withholdNext(brokersim::kFundBonusSetFunction);
    sim.answerErrorNext(brokersim::kFundBonusQueryFunction, -1, QStringLiteral("系统忙"));
    form->tradeButtonClicked();
    confirmation.confirm(lastDraft().dialogType);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    // The setting did not hold on the server after all.
    book().setDividendMethod("010100000001", "000001", "1");
    const qsizetype read = count(brokersim::kFundBonusQueryFunction);
    const std::shared_ptr<CSNetwork> trade
        = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
    trade->connectionSendPacketsTimeout(
        *trade->connection(), { quint64(receivedOf(brokersim::kFundBonusSetFunction).back().packetId) });
    ASSERT_TRUE(spinUntil([&] {
        return count(brokersim::kFundBonusQueryFunction) > read
            && OwedReads::getInstance()->roundWait().count() > 0;
    }));
    EXPECT_EQ(page.figuresOutOfDate(), QStringList { QString::fromLatin1(owedfigure::kFundDividends) });
    EXPECT_EQ(form->popUpIndex(), 0);
    DMNotificationCenter::getInstance()->postNotification(
        NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
    ASSERT_TRUE(spinUntil([&] { return page.figuresOutOfDate().isEmpty(); }));
    EXPECT_EQ(form->popUpIndex(), 1);
    EXPECT_EQ(count(brokersim::kFundBonusSetFunction), 1); // never sent again
}

// The confirmation's time limit passing with the order still out: the
// order's relay tells once that its outcome is unknown, the form is free at
// once, and the request's own time-out that follows adds nothing. The order
// is never sent again. An answer after all is told, and the form, still up,
// does what it does with one in time: it reads again the money it took and,
// when the server took it, empties the amount, unless another amount was
// typed since or the next order is on its way (held at its notice).
TEST_F(FundTradeForm, AnOrderPastItsDialogsTimeLimitIsToldOnceByItsRelay)
{
    OrderAlertWindowController::setShownHookForTesting([](OrderAlertWindowController& c) {
        c.setBusyBackstopMsForTesting(300);
        QTimer::singleShot(0, &c, [&c] { c.confirmButtonClicked(); });
    });
    const auto noHook = qScopeGuard([] { OrderAlertWindowController::setShownHookForTesting({}); });
    const Function purchase = brokersim::kFundPurchaseFunction;
    enum class Late { Taken, Refused, TakenWithTheNextOnItsWay, None };
    const struct {
        const char* what;
        Late late;
        const char* told; // the late answer's box
        const char* typedSince; // the amount typed after the time limit, if any
        const char* amountAfter;
    } cases[] = {
        { "answered late", Late::Taken, "tip:委托申请已提交", nullptr, "" },
        { "answered late, another amount typed", Late::Taken, "tip:委托申请已提交", "2000", "2000" },
        { "refused late", Late::Refused, "error:", nullptr, "1000" },
        { "answered late, the next order at its notice", Late::TakenWithTheNextOnItsWay, "tip:委托申请已提交",
            nullptr, "2000" },
        // Last: the time-out stays short.
        { "timed out", Late::None, nullptr, nullptr, "1000" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        alerts.shown.clear();
        auto form = make(Form::Purchase, true);
        type(*form, Form::Code, "000001");
        form->setText(Form::Amount, "1000");
        if (c.late == Late::None)
            OrderManagerFunds::getInstance()->sender().setRequestTimeout(1);
        const brokersim::Handler own = sim.handlerOf(purchase.main, purchase.sub);
        const auto restore = qScopeGuard([&] { sim.registerFunction(purchase.main, purchase.sub, own); });
        if (c.late == Late::Refused)
            sim.registerFunction(
                purchase.main, purchase.sub, [](const brokersim::Request&, brokersim::BrokerState&) {
                    return brokersim::Reply::error(-1, QStringLiteral("拒绝"));
                });
        const qsizetype sent = count(purchase);
        sim.withholdNext(purchase);
        const std::size_t waiting = ActionOutcomeRelay::pendingCount();
        form->tradeButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !alerts.shown.isEmpty(); }, 10s));
        EXPECT_FALSE(form->isBusy());
        EXPECT_EQ(alerts.shown,
            QStringList(QStringLiteral("error:基金委托结果未知，请查询确认，切勿重复下单")));
        if (c.late == Late::TakenWithTheNextOnItsWay) {
            // Below the fund's level: the next order waits at its notice.
            book().setRiskLevel("010100000001", 1);
            form->setText(Form::Amount, "2000");
            form->tradeButtonClicked();
            ASSERT_TRUE(spinUntil([&] { return notices.shown.size() == 1; }));
        }
        const qsizetype moneyAsked = count(brokersim::kMoneyFunction);
        if (c.typedSince)
            form->setText(Form::Amount, QString::fromLatin1(c.typedSince));
        if (c.told)
            sim.releaseWithheld();
        ASSERT_TRUE(spinUntil([&] { return ActionOutcomeRelay::pendingCount() == waiting; }, 10s));
        EXPECT_EQ(alerts.shown.size(), c.told ? 2 : 1) << qPrintable(alerts.shown.last());
        if (c.told) {
            EXPECT_TRUE(alerts.shown.last().startsWith(QString::fromUtf8(c.told)))
                << qPrintable(alerts.shown.last());
            EXPECT_TRUE(spinUntil([&] { return count(brokersim::kMoneyFunction) > moneyAsked; }));
        }
        EXPECT_EQ(form->text(Form::Amount), QString::fromUtf8(c.amountAfter));
        EXPECT_EQ(count(purchase), sent + 1);
        sim.releaseWithheld();
        book().setRiskLevel("010100000001", 5);
    }
}

// A position answered without a name: the transform shows it as it came,
// the redeem form keeps the name it had.
TEST_F(FundTradeForm, APositionWithoutANameEmptiesOnlyTheTransformName)
{
    for (qint32 viewType : { Form::Transform, Form::Redeem }) {
        SCOPED_TRACE(viewType);
        auto form = make(viewType);
        type(*form, Form::Code, "000001");
        ASSERT_EQ(form->text(Form::Name), QStringLiteral("青岚成长混合"));
        sim.answerTablesNext(brokersim::kFundPositionFunction,
            { brokersim::Table().column("ofcode").column("ofavl").row({ "000001", "5.00" }) });
        const qsizetype asked = count(brokersim::kFundPositionFunction);
        form->controlTextDidChange(Form::Code, "000001");
        ASSERT_TRUE(
            spinUntil([&] { return count(brokersim::kFundPositionFunction) > asked && form->currentFund(); }));
        EXPECT_EQ(form->text(Form::Name), viewType == Form::Transform ? QString() : QStringLiteral("青岚成长混合"));
        EXPECT_EQ(form->text(Form::Available), "5.00");
    }
}

FUND_RECORDER(InfoProbe, IQueryOpdFundDelegate, queryOpdFundInfo)
FUND_RECORDER(PositionProbe, IQueryOpdFundPositionDelegate, queryOpdFundPosition)

namespace {

// Runs the loop until what was queued before it (the form's later steps) ran.
void runQueuedSteps()
{
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    ASSERT_TRUE(spinUntil([&] { return ran; }));
}

// Waits for the answer to the lookup of `code` the form sent: the same
// request asked after it is answered after it.
void awaitLookup(bool position, const QString& code)
{
    InfoProbe info;
    PositionProbe held;
    if (position)
        OpenFundManager::getInstance()->requestOpdFundPosition(&held, code);
    else
        OpenFundManager::getInstance()->requestQueryOpdFund(&info, code);
    ASSERT_TRUE(spinUntil([&] { return info.heard() || held.heard(); }));
}

} // namespace

namespace {

using PageMaker = std::function<std::unique_ptr<OpdFundTradePage>(const Form::Services&)>;

template <class Page> PageMaker pageOf()
{
    return [](const Form::Services& services) {
        return std::make_unique<Page>(nullptr, OpdFundTradePage::Services(), services);
    };
}

// Each operation page, the fund (and target) its order names, and its order.
struct PageOrder {
    const char* name;
    PageMaker page;
    const char* code;
    const char* target;
    brokersim::Function order;
    // A success answered without its serial is told as one, without it.
    bool succeedsWithoutSerial = false;
};
const PageOrder kPageOrders[] = {
    { "subscribe", pageOf<SubscribeOpdFundViewController>(), "009901", nullptr,
        brokersim::kFundSubscribeFunction },
    { "purchase", pageOf<PurchaseOpdFundViewController>(), "000001", nullptr,
        brokersim::kFundPurchaseFunction },
    { "redeem", pageOf<RedeemOpdFundViewController>(), "000001", nullptr, brokersim::kFundRedeemFunction,
        true },
    { "transform", pageOf<TransformOpdFundViewController>(), "000001", "000011",
        brokersim::kFundTransformFunction, true },
    { "dividends", pageOf<BonusSettingViewController>(), "000001", nullptr, brokersim::kFundBonusSetFunction,
        true },
    { "plan", pageOf<InvestOntimeViewController>(), "000001", nullptr, brokersim::kFundPlanOpenFunction },
};

// An answer whose "sno" is blank.
QList<brokersim::Table> blankSerial()
{
    return { brokersim::Table().column("sno").row({ QString() }) };
}

} // namespace

class FundTradePages : public FundTradeForm {
protected:
    void TearDown() override
    {
        OrderAlertWindowController::setShownHookForTesting(nullptr);
        MenuItemViewManager::getInstance()->setWindow(nullptr);
        ActionOutcomeRelay::setAnyWindow(nullptr);
        FundTradeForm::TearDown();
    }
    // The page set up, its list in, and the fund (and target) typed.
    Form& open(OpdFundTradePage& page, const char* code, const char* target = nullptr)
    {
        page.setAlertPresenter(&alerts);
        page.load();
        if (auto* plan = dynamic_cast<InvestOntimeViewController*>(&page))
            plan->acceptButtonClicked();
        Form& form = *page.fundTradeView();
        EXPECT_TRUE(spinUntil([&] { return page.fundListView()->content().table() != nullptr; }));
        type(form, Form::Code, code);
        if (target)
            type(form, Form::TargetCode, target);
        form.setText(Form::Amount, "10");
        return form;
    }

    FundAlerts mainWindow; // where an action is told once its page is gone
    FundAlerts anyWindow; // where it is told when no main window is up
};

// Every fund order a page sends, answered with a blank serial: the customer
// is told the outcome is unknown, in the fund orders' words (never sent to
// the share orders' 当日委托), never "submitted" with a blank; nothing is
// sent again, and the page reads again what the order may have changed. A
// redemption, transform or dividend setting answered so is a success, told
// without the serial.
TEST_F(FundTradePages, AnAnswerWithoutASerialIsUnknownOrASuccessToldWithoutIt)
{
    book().setRiskLevel("010100000001", 5);
    // What each page reads again, in the order of the pages.
    const std::optional<brokersim::Function> readAgain[] = { brokersim::kMoneyFunction, brokersim::kMoneyFunction,
        brokersim::kFundPositionFunction, brokersim::kFundPositionFunction, brokersim::kFundPositionFunction,
        std::nullopt };
    for (size_t i = 0; i < std::size(kPageOrders); ++i) {
        const PageOrder& c = kPageOrders[i];
        const std::optional<brokersim::Function>& again = readAgain[i];
        SCOPED_TRACE(c.name);
        sim.clearReceived();
        auto page = c.page(Form::Services { nullptr, nullptr, nullptr, &notices, &confirmation });
        Form& form = open(*page, c.code, c.target);
        const qsizetype before = again ? count(*again) : 0;
        alerts.shown.clear();
        sim.answerTablesNext(c.order, blankSerial());
        form.tradeButtonClicked();
        confirmAndWait(form);
        ASSERT_EQ(alerts.shown.size(), 1);
        if (c.succeedsWithoutSerial) {
            EXPECT_EQ(alerts.shown[0], QStringLiteral("tip:委托申请已提交。"));
            testsupport::spinFor(50ms);
            EXPECT_EQ(count(c.order), 1);
            continue;
        }
        EXPECT_TRUE(alerts.shown[0].startsWith("error:")) << qPrintable(alerts.shown[0]);
        EXPECT_TRUE(alerts.shown[0].endsWith(QStringLiteral("基金委托结果未知，请查询确认，切勿重复下单")))
            << qPrintable(alerts.shown[0]);
        if (again)
            EXPECT_TRUE(spinUntil([&] { return count(*again) > before; }));
        // What it shows of them, maybe out of date until read again.
        EXPECT_TRUE(spinUntil([&] { return page->figuresOutOfDate().isEmpty(); }));
        testsupport::spinFor(50ms);
        EXPECT_EQ(count(c.order), 1);
        EXPECT_EQ(alerts.shown.size(), 1);
    }
}

// After a success, a figure the order changed is read again at once and
// shows what the server has now. A position read again that says nothing of
// the fund (it fails, holds no rows or names another fund) leaves the fund
// as it was; one answered after the code was edited shows nothing.
TEST_F(FundTradePages, FiguresAnOrderChangedAreReadAgain)
{
    book().setRiskLevel("010100000001", 5);
    enum Read { Answered, Fails, NoRows, OtherFund, CodeEdited };
    const struct {
        const char* name;
        PageMaker page;
        const char* target;
        Form::Field field;
        const char* before;
        const char* after;
        Read read = Answered;
    } cases[] = {
        { "redeem", pageOf<RedeemOpdFundViewController>(), nullptr, Form::Available, "10000.00", "9990.00" },
        { "transform", pageOf<TransformOpdFundViewController>(), "000011", Form::Available, "9990.00",
            "9980.00" },
        { "purchase", pageOf<PurchaseOpdFundViewController>(), nullptr, Form::AvailableBalance, nullptr,
            nullptr },
        { "redeem, read fails", pageOf<RedeemOpdFundViewController>(), nullptr, Form::Available, "9980.00",
            nullptr, Fails },
        { "redeem, read without rows", pageOf<RedeemOpdFundViewController>(), nullptr, Form::Available,
            "9970.00", nullptr, NoRows },
        { "transform, read without rows", pageOf<TransformOpdFundViewController>(), "000011", Form::Available,
            "9960.00", nullptr, NoRows },
        { "redeem, read names another fund", pageOf<RedeemOpdFundViewController>(), nullptr, Form::Available,
            "9950.00", nullptr, OtherFund },
        { "redeem, code edited", pageOf<RedeemOpdFundViewController>(), nullptr, Form::Available, "9940.00",
            nullptr, CodeEdited },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto page = c.page(Form::Services { nullptr, nullptr, nullptr, &notices, &confirmation });
        Form& form = open(*page, "000001", c.target);
        ASSERT_TRUE(spinUntil([&] { return !form.text(c.field).isEmpty(); }));
        if (c.before)
            EXPECT_EQ(form.text(c.field), c.before);
        const qsizetype moneyAsked = count(brokersim::kMoneyFunction);
        const qsizetype chartsAsked = count(brokersim::kFundNetValueFunction);
        alerts.shown.clear();
        const brokersim::Function position = brokersim::kFundPositionFunction;
        if (c.read == Fails)
            sim.answerErrorNext(position, 3002, QStringLiteral("系统繁忙"));
        else if (c.read == NoRows)
            sim.answerTablesNext(position, { brokersim::Table().column("ofcode").column("ofavl") });
        else if (c.read == OtherFund)
            sim.answerTablesNext(position,
                { brokersim::Table().column("ofcode").column("ofname").column("ofavl").row(
                    { "110011", QStringLiteral("别的基金"), "7.00" }) });
        else if (c.read == CodeEdited)
            sim.withholdNext(position);
        form.tradeButtonClicked();
        confirmAndWait(form);
        ASSERT_TRUE(lastAlert().startsWith(QStringLiteral("tip:委托申请已提交"))) << qPrintable(lastAlert());
        // Only the amount is emptied; the fund stays.
        EXPECT_TRUE(form.text(Form::Amount).isEmpty()) << qPrintable(form.text(Form::Amount));
        EXPECT_EQ(form.text(Form::Code), "000001");
        EXPECT_TRUE(spinUntil([&] { return count(brokersim::kMoneyFunction) > moneyAsked; }));
        if (c.read == CodeEdited) {
            // The code is cut while the position is read again: its answer
            // is late, and nothing of the fund comes back beside "00000".
            ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
            form.controlTextDidChange(Form::Code, "00000");
            sim.releaseWithheld();
            awaitLookup(true, "000001");
            EXPECT_TRUE(form.text(Form::Available).isEmpty()) << qPrintable(form.text(Form::Available));
            EXPECT_TRUE(page->fundQuoteView()->fundCodeText().isEmpty());
        } else if (c.read != Answered) {
            awaitLookup(true, "000001");
            EXPECT_EQ(form.text(Form::Available), c.before);
            ASSERT_TRUE(form.currentFund());
            EXPECT_EQ(form.currentFund()->code, "000001");
            // The chart keeps the fund and asks nothing for a fund without a code.
            EXPECT_EQ(page->fundQuoteView()->fundCodeText(), "000001");
            EXPECT_EQ(count(brokersim::kFundNetValueFunction), chartsAsked);
            form.setText(Form::Amount, "10");
            form.tradeButtonClicked(); // the fund is still the form's
            EXPECT_TRUE(spinUntil([&] { return confirmation.open; }));
            EXPECT_EQ(lastDraft().values.value(1), "000001");
            cancelDialog();
        }
        if (c.after) {
            EXPECT_TRUE(spinUntil([&] { return form.text(c.field) == c.after; }))
                << qPrintable(form.text(c.field));
            // The page's position list is read again too.
            const OpdFundListViewController& list = *page->fundListView();
            EXPECT_TRUE(spinUntil([&] {
                return list.content().table()
                    && list.content().table()->valueForTitle(0, QStringLiteral("可用份额")) == c.after;
            }));
        }
    }
}

FUND_RECORDER(MoneyProbe, IMoneyInfoDelegate, queryMoneyInfo)
FUND_RECORDER(PositionListProbe, IQueryOpdFundPoistionListDelegate, queryOpdFundPoistionList)

// The page's list or the money asked before an order, answered only after the
// same figure was read again after the order: the late answer changes
// nothing, the page keeps what the server has now.
TEST_F(FundTradePages, AFigureAskedBeforeTheOrderNeverStandsOverTheOneReadAfterIt)
{
    book().setRiskLevel("010100000001", 5);
    const struct {
        const char* name;
        PageMaker page;
        brokersim::Function withheld;
    } cases[] = {
        { "redeem, the positions", pageOf<RedeemOpdFundViewController>(), brokersim::kFundPositionFunction },
        { "purchase, the money", pageOf<PurchaseOpdFundViewController>(), brokersim::kMoneyFunction },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.clearControls();
        auto page = c.page(Form::Services { nullptr, nullptr, nullptr, &notices, &confirmation });
        page->setAlertPresenter(&alerts);
        sim.withholdNext(c.withheld); // the list, or the money, the page asks at its start
        page->load();
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
        Form& form = *page->fundTradeView();
        type(form, Form::Code, "000001");
        form.setText(Form::Amount, "10");
        alerts.shown.clear();
        form.tradeButtonClicked();
        confirmAndWait(form);
        ASSERT_TRUE(lastAlert().startsWith(QStringLiteral("tip:委托申请已提交"))) << qPrintable(lastAlert());
        const OpdFundListViewController& list = *page->fundListView();
        const auto shownNow = [&] {
            if (c.withheld == brokersim::kMoneyFunction)
                return form.text(Form::AvailableBalance);
            const auto table = list.content().table();
            return table ? table->valueForTitle(0, QStringLiteral("可用份额")) : QString();
        };
        ASSERT_TRUE(spinUntil([&] { return !shownNow().isEmpty(); }));
        const QString after = shownNow();
        sim.releaseWithheld();
        // An equal ask sent now is answered after the late one.
        MoneyProbe money;
        PositionListProbe positions;
        if (c.withheld == brokersim::kMoneyFunction)
            QueryInfoManager::getInstance()->requestMoneyInfo(&money, 0, QString());
        else
            QueryInfoManagerFunds::getInstance()->requestOpdFundPositionList(&positions);
        ASSERT_TRUE(spinUntil([&] { return money.heard() || positions.heard(); }));
        runQueuedSteps();
        EXPECT_EQ(shownNow(), after);
    }
}

// The form and the net-value panel show the fund's figures as the server sent
// them, whatever they are, and the available money as sent with its unit.
TEST_F(FundTradePages, FiguresShowAsTheServerSentThem)
{
    for (const char* sent : { "-5.00", "", "NaN", "abc", "1e999" }) {
        SCOPED_TRACE(sent);
        sim.clearControls();
        const QString value = QString::fromLatin1(sent);
        sim.answerTablesNext(brokersim::kFundInfoFunction,
            { brokersim::Table().column("ofcode").column("ofname").column("nav").column("tacode").row(
                { "000001", QStringLiteral("青岚成长混合"), value, "98" }) });
        sim.answerTablesNext(brokersim::kMoneyFunction,
            { brokersim::Table().column("fundavl").column("moneytype").row({ value, "0" }) });
        PurchaseOpdFundViewController purchase(
            nullptr, {}, Form::Services { nullptr, nullptr, nullptr, &notices, &confirmation });
        Form& form = open(purchase, "000001");
        EXPECT_EQ(form.text(Form::Value), value);
        EXPECT_EQ(purchase.fundQuoteView()->fundValueText(), value);
        ASSERT_TRUE(spinUntil([&] { return !form.text(Form::AvailableBalance).isEmpty(); }));
        EXPECT_EQ(form.text(Form::AvailableBalance), value + QStringLiteral("元"));

        sim.answerTablesNext(brokersim::kFundPositionFunction,
            { brokersim::Table().column("ofcode").column("ofname").column("nav").column("ofavl").row(
                { "000001", QStringLiteral("青岚成长混合"), value, value }) });
        auto redeem = make(Form::Redeem);
        type(*redeem, Form::Code, "000001");
        EXPECT_EQ(redeem->text(Form::Value), value);
        EXPECT_EQ(redeem->text(Form::Available), value);
    }
}

// A purchase confirmed and the lock before its answer: the form stays busy
// until that answer (a press asks nothing), the redeem form's dialog opened
// meanwhile stays open when the answer comes and sends its own order, and
// each answer shows its own order's serial.
TEST_F(FundTradeForm, AnAnswerAfterTheLockClosesNoOtherFormsDialog)
{
    auto purchase = make(Form::Purchase, true);
    auto redeem = make(Form::Redeem, true);
    type(*purchase, Form::Code, "000001");
    type(*redeem, Form::Code, "000001");
    purchase->setText(Form::Amount, "1000");
    redeem->setText(Form::Amount, "10");
    testsupport::AnswerAfterTheLock runs(
        sim, brokersim::kFundPurchaseFunction, [&] { return !alerts.shown.isEmpty(); },
        [&] { EXPECT_EQ(redeem->text(Form::Amount), "10"); });
    ASSERT_TRUE(runs.press([&] { purchase->tradeButtonClicked(); }));
    EXPECT_TRUE(purchase->isBusy());
    purchase->tradeButtonClicked();
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(runs.press([&] { redeem->tradeButtonClicked(); })) << i;
    ASSERT_TRUE(spinUntil([&] { return !purchase->isBusy() && !redeem->isBusy() && alerts.shown.size() == 2; }));
    EXPECT_EQ(runs.runs(), 3);
    EXPECT_EQ(count(brokersim::kFundAppropriatenessFunction), 1);
    EXPECT_EQ(count(brokersim::kFundPurchaseFunction), 1);
    EXPECT_EQ(count(brokersim::kFundRedeemFunction), 1);
    const auto serialOf = [&](const char* tradeId) {
        for (const brokersim::SimFundOrder& o : book().orders())
            if (o.tradeId == QLatin1String(tradeId))
                return o.sno;
        return QString();
    };
    EXPECT_EQ(alerts.shown,
        QStringList({ QStringLiteral("tip:委托申请已提交，委托序号为%1。").arg(serialOf("240022")),
            QStringLiteral("tip:委托申请已提交，委托序号为%1。").arg(serialOf("240024")) }));
    EXPECT_TRUE(purchase->text(Form::Amount).isEmpty());
    EXPECT_TRUE(redeem->text(Form::Amount).isEmpty());
}

// A code field that no longer names the fund before: a code being typed, or
// a lookup of the new code that fails or finds no such fund. Nothing of the
// fund before stays beside it (name, net value, shares, charge type, dividend
// method, chart), and each button acts as with no fund, or confirms the code
// with no name of any fund.
TEST_F(FundTradeForm, ACodeThatNamesNoFundLeavesNothingOfTheFundBefore)
{
    // Cut: the code asked is cut below six characters before its answer.
    // OtherFund: the answer names a fund other than the one asked.
    enum Way { Typing, Fails, NoRows, Cut, OtherFund };
    const QString failed = QStringLiteral("tip:基金信息请求失败。");
    const struct {
        qint32 viewType;
        Way way;
        const char* amount; // null: the button is not pressed
        QStringList alerts;
        bool confirmed;
    } cases[] = {
        { Form::Purchase, Typing, "100", { failed }, false },
        { Form::Subscribe, Typing, "100", { failed }, false },
        { Form::Plan, Typing, "", { QStringLiteral("tip:查询开放式基金信息失败。"), failed }, false },
        { Form::Redeem, Typing, "100", { failed }, false },
        { Form::Bonus, Typing, "", {}, true },
        { Form::Purchase, Fails, "100", { failed }, false },
        { Form::Subscribe, Fails, "100", { failed }, false },
        { Form::Plan, Fails, "100", { failed }, false },
        { Form::Redeem, Fails, "100", { failed }, false },
        { Form::Bonus, Fails, "", {}, true },
        { Form::Transform, Fails, nullptr, {}, false },
        { Form::Purchase, NoRows, "100", {}, true },
        { Form::Subscribe, NoRows, "100", {}, true },
        { Form::Plan, NoRows, "100", {}, true },
        { Form::Redeem, NoRows, "100", {}, true },
        { Form::Bonus, NoRows, "", {}, true },
        { Form::Transform, NoRows, nullptr, {}, false },
        { Form::Purchase, Cut, "100", { failed }, false },
        { Form::Redeem, Cut, "100", { failed }, false },
        { Form::Bonus, Cut, "", {}, true },
        { Form::Purchase, OtherFund, "100", { failed }, false },
        { Form::Redeem, OtherFund, "100", { failed }, false },
        { Form::Transform, OtherFund, nullptr, {}, false },
    };
    book().setDividendMethod("010100000001", "000001", "1");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.viewType << " way " << int(c.way));
        alerts.shown.clear();
        confirmation.drafts.clear();
        auto form = make(c.viewType);
        FundQuoteViewController chart;
        form->addFundChangedObserver(&chart);
        type(*form, Form::Code, "000001");
        if (c.viewType == Form::Bonus)
            ASSERT_TRUE(spinUntil([&] { return form->popUpIndex() == 1; }));
        ASSERT_TRUE(spinUntil([&] { return chart.fundQuoteView().values().size() == 128u; }));

        const QString code = c.way == Typing || c.way == Cut ? "00001" : "000011";
        const bool position = c.viewType == Form::Redeem || c.viewType == Form::Transform;
        const brokersim::Function lookup
            = position ? brokersim::kFundPositionFunction : brokersim::kFundInfoFunction;
        if (c.way == Fails)
            sim.answerErrorNext(lookup, 3002, QStringLiteral("系统繁忙"));
        else if (c.way == NoRows)
            sim.answerTablesNext(lookup, { brokersim::Table().column("ofcode").column("ofname") });
        else if (c.way == OtherFund)
            sim.answerTablesNext(lookup,
                { brokersim::Table().column("ofcode").column("ofname").column("nav").column("ofavl").row(
                    { "110011", QStringLiteral("别的基金"), "2.0000", "7.00" }) });
        if (c.way == Cut)
            form->controlTextDidChange(Form::Code, "000011");
        form->controlTextDidChange(Form::Code, code);
        if (c.way != Typing) {
            awaitLookup(position, c.way == Cut ? QStringLiteral("000011") : code);
            // No rows: a fund whose texts are all empty; a failure: no fund.
            EXPECT_EQ(form->currentFund().has_value(), c.way == NoRows);
            if (form->currentFund())
                EXPECT_TRUE(form->currentFund()->code.isEmpty());
        }
        for (const Form::Field f : { Form::Name, Form::Value, Form::Available, Form::ChargeType })
            EXPECT_TRUE(form->text(f).isEmpty()) << f << " " << qPrintable(form->text(f));
        EXPECT_EQ(form->popUpIndex(), 0);
        EXPECT_TRUE(chart.fundCodeText().isEmpty());
        EXPECT_TRUE(chart.fundQuoteView().values().empty());
        if (!c.amount)
            continue;

        form->setText(Form::Amount, QString::fromLatin1(c.amount));
        const qsizetype checks = count(brokersim::kFundAppropriatenessFunction);
        form->tradeButtonClicked();
        runQueuedSteps();
        EXPECT_EQ(alerts.shown, c.alerts);
        if (!c.confirmed) {
            EXPECT_TRUE(confirmation.drafts.empty());
            EXPECT_FALSE(form->isBusy());
            EXPECT_EQ(count(brokersim::kFundAppropriatenessFunction), checks);
            continue;
        }
        ASSERT_TRUE(confirmation.open);
        const QStringList& values = lastDraft().values;
        const bool plan = c.viewType == Form::Plan; // code first, then name
        EXPECT_EQ(values.value(plan ? 0 : 1), code);
        EXPECT_TRUE(values.value(plan ? 1 : 0).isEmpty()) << qPrintable(values.join('|'));
        if (c.viewType == Form::Bonus)
            EXPECT_EQ(values.value(2), QStringLiteral("红利转投"));
        cancelDialog();
    }
    EXPECT_EQ(count(brokersim::kFundBonusSetFunction), 0);
}

// The target of a transform: a failed lookup leaves no target, an empty one
// a target with no name; neither keeps the name of the one before.
TEST_F(FundTradeForm, ATargetLookupThatFindsNothingLeavesNoTarget)
{
    auto form = make(Form::Transform);
    type(*form, Form::Code, "000001");
    type(*form, Form::TargetCode, "000011");
    ASSERT_EQ(form->text(Form::TargetName), QStringLiteral("远帆大盘精选"));
    for (const bool fails : { false, true }) {
        if (fails)
            sim.answerErrorNext(brokersim::kFundInfoFunction, 3002, QStringLiteral("系统繁忙"));
        else
            sim.answerTablesNext(brokersim::kFundInfoFunction, { brokersim::Table().column("ofcode") });
        const QString code = fails ? "202001" : "110011";
        form->controlTextDidChange(Form::TargetCode, code);
        awaitLookup(false, code);
        EXPECT_EQ(form->fundOfTranformTo().has_value(), !fails);
        EXPECT_TRUE(form->text(Form::TargetName).isEmpty()) << fails;
        EXPECT_EQ(form->text(Form::Name), QStringLiteral("青岚成长混合"));
    }
}

// The dividend method asked for the fund before comes after the new fund's:
// it is dropped, and the setting goes out with the new fund's own method.
TEST_F(FundTradeForm, ALateDividendMethodIsDropped)
{
    book().setDividendMethod("010100000001", "000001", "1");
    auto form = make(Form::Bonus);
    sim.withholdNext(brokersim::kFundBonusQueryFunction);
    type(*form, Form::Code, "000001");
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    type(*form, Form::Code, "202001");
    ASSERT_TRUE(spinUntil([&] { return count(brokersim::kFundBonusQueryFunction) == 2; }));
    BonusRecorder current;
    OpenFundManager::getInstance()->requestQueryBonusSetting(&current, "202001", "50");
    ASSERT_TRUE(spinUntil([&] { return current.heard(); }));
    BonusRecorder late;
    OpenFundManager::getInstance()->requestQueryBonusSetting(&late, "000001", "98");
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return late.heard(); }));
    ASSERT_EQ(late.results, std::vector<qint64>({ 1 }));
    EXPECT_EQ(form->popUpIndex(), 0);
    form->tradeButtonClicked();
    confirmAndWait(*form);
    EXPECT_TRUE(last(brokersim::kFundBonusSetFunction).contains("&ofcode=202001&dividmethod=0"));
}

FUND_RECORDER(SignProbe, IOpdQuerySignNumberDelegate, opdQuerySignNumber)

// While the appropriateness check or the sign serial after the notices is
// asked for, a changed code, amount or 重填 ends the step: its late answer
// opens no confirmation, and nothing goes out for a fund that was never
// checked or a blank form.
TEST_F(FundTradeForm, AFieldChangedBeforeTheConfirmationEndsTheStep)
{
    const struct {
        const char* name;
        std::function<void(Form&)> make;
        bool newStep = false; // a press for another fund, at its notice when the late answer comes
    } changes[] = {
        { "new code", [this](Form& form) { type(form, Form::Code, "110011"); } },
        { "new amount", [](Form& form) { form.setText(Form::Amount, "5000"); } },
        { "refill", [](Form& form) { form.reset(); } },
        { "new code pressed",
            [this](Form& form) {
                const size_t shown = notices.shown.size();
                type(form, Form::Code, "000011"); // above the customer's level
                form.tradeButtonClicked();
                ASSERT_TRUE(spinUntil([&] { return notices.shown.size() == shown + 1; }));
            },
            true },
    };
    for (const bool serial : { false, true }) {
        for (const auto& [change, makeChange, newStep] : changes) {
            SCOPED_TRACE(testing::Message() << (serial ? "serial " : "check ") << change);
            std::unique_ptr<Form> form;
            AppropriatenessRecorder checked;
            SignProbe sign;
            if (serial) {
                form = purchaseUpToTheSecondNotice();
                sim.withholdNext(brokersim::kFundSignNumberFunction);
                notices.agree(1);
                ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
                OpenFundManager::getInstance()->requestOpdQuerySignNumber(&sign, "000001", "98");
            } else {
                form = make(Form::Purchase);
                type(*form, Form::Code, "000001");
                form->setText(Form::Amount, "1000");
                sim.withholdNext(brokersim::kFundAppropriatenessFunction);
                form->tradeButtonClicked();
                ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
                OpenFundManager::getInstance()->requestOpdQueryAppropriateness(&checked, "000001", "98", "1");
            }
            makeChange(*form);
            EXPECT_EQ(form->isBusy(), newStep);
            sim.releaseWithheld();
            ASSERT_TRUE(spinUntil([&] { return checked.heard() || sign.heard(); }));
            runQueuedSteps();
            EXPECT_TRUE(confirmation.drafts.empty());
            EXPECT_EQ(notices.shown.size(), (serial ? 2u : 0u) + (newStep ? 1u : 0u));
            EXPECT_EQ(form->isBusy(), newStep);
            notices.shown.clear();
        }
    }
    EXPECT_EQ(count(brokersim::kFundPurchaseFunction), 0);
}

// Another account: the panels are made anew before the new account is asked
// anything, and nothing asked for the account before lands on them.
TEST_F(FundTradePages, AnAccountChangeShowsNothingOfTheAccountBefore)
{
    auto page = pageOf<RedeemOpdFundViewController>()(
        Form::Services { nullptr, nullptr, nullptr, &notices, &confirmation });
    Form& form = open(*page, "000001");
    ASSERT_TRUE(spinUntil([&] { return page->fundQuoteView()->fundCodeText() == "000001"; }));
    sim.withholdNext(brokersim::kFundPositionFunction);
    form.controlTextDidChange(Form::Code, "202001");
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    sim.withholdNext(brokersim::kFundPositionFunction); // the new list
    page->loginAccountChanged();
    const Form& fresh = *page->fundTradeView();
    for (const Form::Field f : { Form::Code, Form::Name, Form::Value, Form::Available, Form::Amount })
        EXPECT_TRUE(fresh.text(f).isEmpty()) << f;
    EXPECT_FALSE(fresh.currentFund().has_value());
    EXPECT_TRUE(page->fundQuoteView()->fundCodeText().isEmpty());
    EXPECT_FALSE(page->fundListView()->content().table());
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 2; }));
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return page->fundListView()->content().table() != nullptr; }));
    awaitLookup(true, "202001");
    for (const Form::Field f : { Form::Code, Form::Name, Form::Available })
        EXPECT_TRUE(page->fundTradeView()->text(f).isEmpty()) << f;
    EXPECT_TRUE(page->fundQuoteView()->fundCodeText().isEmpty());
}

// Another account while an order step shows its confirmation (before or
// after the confirm) or a notice: the step goes with the form, its window
// closes at once, and its answer never lands on the page (its relay tells it
// apart).
TEST_F(FundTradePages, AnAccountChangeClosesTheStepsWindow)
{
    enum Way { Confirming, Sending, Notice };
    std::vector<std::pair<PageOrder, Way>> cases;
    for (const PageOrder& p : kPageOrders) {
        cases.push_back({ p, Confirming });
        cases.push_back({ p, Sending });
    }
    cases.push_back({ kPageOrders[1], Notice }); // a purchase above the customer's level
    for (const auto& [c, row] : cases) {
        const Way way = row;
        SCOPED_TRACE(testing::Message() << c.name << " way " << int(way));
        sim.clearReceived();
        book().setRiskLevel("010100000001", way == Notice ? 1 : 5);
        auto page = c.page(Form::Services { nullptr, nullptr, nullptr, &notices, &confirmation });
        Form& form = open(*page, c.code, c.target);
        alerts.shown.clear();
        notices.shown.clear();
        if (way == Sending)
            sim.withholdNext(c.order);
        form.tradeButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return way == Notice ? !notices.shown.empty() : confirmation.open; }));
        if (way == Sending) {
            confirmation.confirm(lastDraft().dialogType);
            ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
        }
        page->loginAccountChanged();
        EXPECT_FALSE(confirmation.open);
        if (way == Notice)
            EXPECT_TRUE(notices.shown[0]->state().closed);
        sim.releaseWithheld();
        // Answered after the order's answer, on the same connection.
        OrdersRecorder after;
        OpenFundManager::getInstance()->requestOpdFundCurrentOrderList(&after);
        ASSERT_TRUE(spinUntil([&] { return after.heard(); }));
        runQueuedSteps();
        EXPECT_TRUE(alerts.shown.isEmpty()) << qPrintable(alerts.shown.join('|'));
        EXPECT_EQ(count(c.order), way == Sending ? 1 : 0);
    }
}

// Whatever became of its page before the answer came (the page left, or
// another account active and the page set up anew for it), each fund action
// is told once, on the main window, naming the account it was sent for once
// another is active, and never on the page. A cancel batch whose dialog the
// lock closed is told as the counts of the whole batch (an order already
// processed refuses its cancel); an order whose connection dropped, as one
// of unknown outcome. One its page heard under the lock and showed there is
// shown again, naming its account, when the lock ends in a logout.
TEST_F(FundTradePages, EachActionIsToldOnceWhateverBecameOfItsPage)
{
    book().setRiskLevel("010100000001", 5);
    MenuItemViewManager::getInstance()->setWindow(&mainWindow);
    enum class Way { PageLeft, AccountChange, ConnectionDropped, LockThenLogout };
    ActionOutcomeRelay::setAnyWindow(&anyWindow);
    constexpr size_t kFundCancels = std::size(kPageOrders), kPlanCancels = kFundCancels + 1;
    // Every kind each way: the order pages', then the two cancel batches.
    std::vector<std::pair<size_t, Way>> rows;
    for (size_t kind = 0; kind <= kPlanCancels; ++kind) {
        for (const Way way : { Way::PageLeft, Way::AccountChange })
            rows.emplace_back(kind, way);
    }
    for (const size_t kind : { size_t(1), kFundCancels })
        rows.emplace_back(kind, Way::LockThenLogout);
    rows.emplace_back(1, Way::ConnectionDropped); // a purchase; last, as it ends the connection
    for (const auto& [kind, way] : rows) {
        const bool cancels = kind >= kFundCancels;
        SCOPED_TRACE(testing::Message()
            << (cancels ? (kind == kPlanCancels ? "plan cancels" : "fund cancels") : kPageOrders[kind].name)
            << " way " << int(way));
        alerts.shown.clear();
        mainWindow.shown.clear();
        std::unique_ptr<MenuItemViewController> page;
        if (!cancels) {
            const PageOrder& c = kPageOrders[kind];
            auto trade = c.page(Form::Services { nullptr, nullptr, nullptr, &notices, &confirmation });
            Form& form = open(*trade, c.code, c.target);
            sim.withholdNext(c.order);
            form.tradeButtonClicked();
            ASSERT_TRUE(spinUntil([&] { return confirmation.open; }));
            confirmation.confirm(lastDraft().dialogType);
            ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
            page = std::move(trade);
        } else {
            book().orders().clear();
            book().plans().clear();
            std::unique_ptr<FundBatchCancelPage> batch;
            if (kind == kPlanCancels) {
                book().plans() << pendingPlan("700001") << pendingPlan("700002");
                batch = std::make_unique<InvestOntimeCancelOrderViewController>();
            } else {
                book().orders() << pendingPurchase("900001") << pendingPurchase("900002", "2");
                batch = std::make_unique<OpdFundCancelOrderViewController>();
            }
            batch->setAlertPresenter(&alerts);
            batch->load();
            ASSERT_TRUE(spinUntil([&] { return batch->rowCount() == 2; }));
            sim.withholdNext(
                kind == kPlanCancels ? brokersim::kFundPlanCancelFunction : brokersim::kFundCancelFunction,
                2);
            // Confirmed, and the lock closes the dialog before the answers.
            OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& alert) {
                alert.confirmButtonClicked();
                QTimer::singleShot(0, [&] {
                    EXPECT_TRUE(spinUntil([&] { return sim.withheldCount() == 2; }));
                    platform::ModalSession::stopAll();
                });
            });
            batch->selectAllButtonClicked(true);
            batch->cancelOrdersClicked();
            ASSERT_EQ(sim.withheldCount(), 2);
            page = std::move(batch);
        }
        if (way == Way::AccountChange) {
            logIn(QStringLiteral("010200000002"), QStringLiteral("222222"));
            page->loginAccountChanged();
        } else if (way != Way::LockThenLogout) {
            page->unloadView(); // kept: what is left of it hears nothing more
        }
        alerts.hold = way == Way::LockThenLogout;
        if (way == Way::ConnectionDropped)
            sim.dropConnections();
        else
            sim.releaseWithheld();
        if (way == Way::LockThenLogout) {
            // The page told it under the lock; 退出 there dismisses it unread.
            ASSERT_TRUE(spinUntil([&] { return !alerts.shown.isEmpty(); }));
            alerts.hold = false;
            ASSERT_EQ(alerts.shown.size(), 1) << qPrintable(alerts.shown.join('|'));
            const QString told = alerts.shown[0];
            AccountManager::getInstance()->logoutAllAccount();
            alerts.dismissHeld();
            ASSERT_TRUE(spinUntil([&] { return !anyWindow.shown.isEmpty(); }));
            const qsizetype colon = told.indexOf(u':') + 1;
            EXPECT_EQ(anyWindow.shown,
                QStringList(told.left(colon) + QStringLiteral("账号010100000001：\n") + told.mid(colon)));
            EXPECT_TRUE(mainWindow.shown.isEmpty()) << qPrintable(mainWindow.shown.join('|'));
            anyWindow.shown.clear();
            page.reset();
            AccountManager::getInstance()->addActiveAccount(account);
            continue;
        }
        ASSERT_TRUE(spinUntil([&] { return !mainWindow.shown.isEmpty(); }));
        // Answered after the action's answers, on the same connection.
        OrdersRecorder after;
        OpenFundManager::getInstance()->requestOpdFundCurrentOrderList(&after);
        ASSERT_TRUE(spinUntil([&] { return after.heard(); }));
        ASSERT_EQ(mainWindow.shown.size(), 1) << qPrintable(mainWindow.shown.join('|'));
        const QString told = mainWindow.shown[0];
        const QString tip = way == Way::AccountChange ? QStringLiteral("tip:账号010100000001：\n") : "tip:";
        if (kind == kFundCancels)
            EXPECT_EQ(told, tip + QStringLiteral("批量撤单\n成功数量:1\n失败数量:1"));
        else if (kind == kPlanCancels)
            EXPECT_EQ(told, tip + QStringLiteral("批量撤单\n成功数量:2\n失败数量:0"));
        else if (way == Way::ConnectionDropped)
            EXPECT_TRUE(told.startsWith("error:") && told.contains(QStringLiteral("委托结果未知")))
                << qPrintable(told);
        else
            EXPECT_TRUE(told.startsWith(tip + QStringLiteral("委托申请已提交，委托序号为")))
                << qPrintable(told);
        EXPECT_TRUE(alerts.shown.isEmpty()) << qPrintable(alerts.shown.join('|'));
        EXPECT_EQ(ActionOutcomeRelay::pendingCount(), 0u);
        page.reset();
        AccountManager::getInstance()->addActiveAccount(account);
    }
}
