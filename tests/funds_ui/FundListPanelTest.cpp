// The fund list panel as the user works it: a click on a row hands its fund
// to the trade form, also after the company filter has left fewer rows;
// the arrow keys hand nothing.
#include "funds/FundTestRig.h"
#include "funds/ui/FundListView.h"
#include "funds/ui/FundPanels.h"
#include "shell/ui/tables/DVCommonTableView.h"

#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

using namespace fundtest;

namespace {

struct TransformForm : ITableSelectedItemChanged {
    std::vector<Fund> picked;
    bool transformTableSelectedItemChanged(const Fund& fund) override
    {
        picked.push_back(fund);
        return true;
    }
};

class FundListPanelTest : public FundSimulatorFixture {
protected:
    void SetUp() override
    {
        FundSimulatorFixture::SetUp();
        logIn();
    }
};

void clickRow(DVCommonTableView* table, int row)
{
    const QRect cell = table->visualRect(table->model()->index(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
}

} // namespace

TEST_F(FundListPanelTest, AClickedRowReachesTheFormWithItsFund)
{
    OpdFundListViewController controller(std::make_unique<TransformOpenFundList>());
    TransformForm form;
    controller.addTableObserver(&form);
    OpdFundListPanel panel(controller);
    panel.resize(800, 400);
    panel.show();
    controller.awakeFromNib();
    auto* table = panel.findChild<DVCommonTableView*>("listTable");
    auto* filter = panel.findChild<QComboBox*>("filterPButton");
    ASSERT_TRUE(spinUntil([&] { return table->model()->rowCount() == 3; }));
    EXPECT_EQ(panel.findChild<QLabel*>("listTitleText")->text(), "基金份额列表");
    EXPECT_EQ(filter->count(), 4);

    clickRow(table, 2);
    ASSERT_EQ(form.picked.size(), 1u);
    ASSERT_TRUE(form.picked.back());
    EXPECT_EQ(form.picked.back()->code, "202001");
    // The row already selected, clicked again, is picked again; moving
    // through the rows with the keys picks nothing.
    clickRow(table, 2);
    EXPECT_EQ(form.picked.size(), 2u);
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Up);
    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(form.picked.size(), 2u);

    filter->setFocus();
    QTest::keyClick(filter, Qt::Key_Down);
    QTest::keyClick(filter, Qt::Key_Down); // 远帆基金
    ASSERT_EQ(filter->currentText(), "远帆基金");
    ASSERT_EQ(table->model()->rowCount(), 1);
    clickRow(table, 0);
    ASSERT_EQ(form.picked.size(), 3u);
    EXPECT_EQ(form.picked.back()->code, "110011");
    EXPECT_EQ(form.picked.back()->name, "远帆中小盘");
}
