// The fund trade form's fields as the customer moves between them.
#include "funds/FundTestRig.h"
#include "funds/trade/FundMoneyQuery.h"
#include "funds/ui/FundTradeViews.h"
#include "support_gui/FieldExits.h"
#include "support_gui/WideDigits.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QScopeGuard>
#include <QStyle>
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
    for (const Form::Field f : { Form::Code, Form::Amount })
        testsupport::commitWideDigitsInTheMiddle(form.field(f), [&] { return page.text(f); });
    testsupport::leaveFields(
        { { amount, "5", [&] { QTest::keyClick(amount, Qt::Key_Return); }, "5", code } });
    EXPECT_TRUE(alerts.shown.isEmpty()) << alerts.shown.join(u'|').toStdString();
    EXPECT_FALSE(page.isBusy());
}

// A form squeezed narrower than its figures, in the default font and in one
// half as large again: a figure the server fills (the net value) widens its
// field to show its whole text, as a line edit would cut it without a mark
// ("1.023" for 1.0230). A name keeps the form's width: the field holds it
// whole and shows what fits, ended by "…".
TEST_F(FundTradeFormView, FieldsTheServerFillsShowTheirWholeText)
{
    for (const double scale : { 1.0, 1.5 }) {
        SCOPED_TRACE(scale);
        Form page(Form::Redeem);
        page.awakeFromNib();
        QWidget holder;
        QFont font = holder.font();
        font.setPointSizeF(font.pointSizeF() * scale);
        holder.setFont(font);
        auto* form = new OpdFundTradeForm(page, &holder);
        (new QHBoxLayout(&holder))->addWidget(form);
        holder.resize(60, 400);
        holder.show();
        page.controlTextDidChange(Form::Code, QStringLiteral("000001"));
        page.codeEditEnd(Form::Code);
        ASSERT_TRUE(spinUntil([&] { return !page.text(Form::Value).isEmpty(); }));
        QApplication::processEvents();
        EXPECT_EQ(form->field(Form::Name)->text(), page.text(Form::Name));
        for (const Form::Field f : { Form::Value }) {
            const QLineEdit* edit = form->field(f);
            ASSERT_TRUE(edit);
            EXPECT_EQ(edit->text(), page.text(f));
            const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
            const int room = edit->width() - 2 * frame - 4;
            EXPECT_LE(edit->fontMetrics().horizontalAdvance(edit->text()), room)
                << edit->text().toStdString();
        }
    }
}
