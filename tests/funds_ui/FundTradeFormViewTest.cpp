// The fund trade form's fields as the customer moves between them.
#include "funds/FundTestRig.h"
#include "funds/trade/FundMoneyQuery.h"
#include "funds/ui/FundTradeViews.h"
#include "support_gui/FieldExits.h"

#include <QLineEdit>
#include <QScopeGuard>
#include <QTest>
#include <gtest/gtest.h>

using namespace fundtest;
using Form = OpdFundTradeViewController;

namespace {

struct Alerts : AlertPresenter {
    QStringList shown;
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        shown << request.text;
        if (completion)
            completion(1);
    }
};

class FundTradeFormView : public FundSimulatorFixture {
protected:
    void SetUp() override
    {
        FundSimulatorFixture::SetUp();
        FundMoneyQuery::registerDataModels();
        logIn();
    }
    void TearDown() override
    {
        FundMoneyQuery::resetShared();
        FundSimulatorFixture::TearDown();
    }
};

} // namespace

// A code field's editing ends by Return, Tab or a click elsewhere, and each
// pads and looks the code up. The next field takes the focus only after
// Return or Tab; a click keeps the field clicked, so the digits typed next
// land there. Return in the amount goes round to the code and places nothing.
TEST_F(FundTradeFormView, AClickKeepsTheFieldClickedReturnOrTabMovesOn)
{
    Form page(Form::Transform);
    Alerts alerts;
    page.setAlertPresenter(&alerts);
    page.awakeFromNib();
    OpdFundTradeForm form(page);
    form.resize(420, 360);
    form.show();
    // Closed before it goes, so the last editing ends while the form stands.
    const auto closeFirst = qScopeGuard([&] { form.close(); });
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QLineEdit* code = form.field(Form::Code);
    QLineEdit* target = form.field(Form::TargetCode);
    QLineEdit* amount = form.field(Form::Amount);
    testsupport::leaveFields({
        { target, "11", [&] { QTest::mouseClick(code, Qt::LeftButton); }, "000011", code },
        { code, "1", [&] { QTest::mouseClick(amount, Qt::LeftButton); }, "000001", amount },
        { code, "1", [&] { QTest::keyClick(code, Qt::Key_Tab); }, "000001", target },
        { target, "11", [&] { QTest::keyClick(target, Qt::Key_Return); }, "000011", amount },
    });
    EXPECT_TRUE(spinUntil([&] {
        return page.text(Form::Name) == QStringLiteral("青岚成长混合")
            && page.text(Form::TargetName) == QStringLiteral("远帆大盘精选");
    }));
    testsupport::leaveFields(
        { { amount, "5", [&] { QTest::keyClick(amount, Qt::Key_Return); }, "5", code } });
    EXPECT_TRUE(alerts.shown.isEmpty()) << alerts.shown.join(u'|').toStdString();
    EXPECT_FALSE(page.isBusy());
}
