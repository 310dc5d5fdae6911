// Content widths measured from a font when rows arrive: every text fits,
// characters outside the basic plane included.
#include "shell/TableTestData.h"
#include "shell/tables/DVTableModel.h"
#include "shell/tables/TableWidths.h"

#include <QFont>
#include <QFontMetrics>
#include <gtest/gtest.h>

namespace {

int sumOfAdvances(const QFontMetrics& metrics, const QString& text)
{
    int width = 0;
    for (QChar c : text)
        width += metrics.horizontalAdvance(c);
    return width;
}

TEST(TableTextWidth, FontWidthsFitTheWidestTextOfEachColumn)
{
    QFont font;
    font.setPointSize(14);
    const QFontMetrics metrics(font);
    const QString rare = QString::fromUtf16(u"\U00020000\U00020001"); // outside the basic plane
    TableStyle style;
    DVTableModel model(TableKind::Common, &style);
    model.setTextFont(font);
    model.buildColumns(tabletest::makeTable({ "证券名称", "委托价格", "备注" },
        { { "平安银行", "12.50", rare }, { "万科A", "1234567.89", "" }, { "招商银行", "9", "x" } }));

    const std::vector<int>& widths = model.contentWidths();
    ASSERT_EQ(widths.size(), 3u);
    EXPECT_EQ(widths[0], tablewidths::contentWidth(sumOfAdvances(metrics, QStringLiteral("平安银行"))));
    EXPECT_EQ(widths[1], tablewidths::contentWidth(sumOfAdvances(metrics, QStringLiteral("1234567.89"))));
    EXPECT_EQ(widths[2], tablewidths::contentWidth(std::max(metrics.horizontalAdvance(rare), metrics.horizontalAdvance("x"))));
    // Summed advances never come out narrower than the shaped text.
    EXPECT_GE(widths[1], tablewidths::contentWidth(metrics.horizontalAdvance(QStringLiteral("1234567.89"))));

    // The same texts again measure the same; other texts measure anew.
    model.showRows(tabletest::makeTable({ "证券名称", "委托价格", "备注" }, { { "万科A", "1", "" } }));
    EXPECT_EQ(model.contentWidths()[0], tablewidths::contentWidth(sumOfAdvances(metrics, QStringLiteral("万科A"))));
    EXPECT_EQ(model.contentWidths()[2], tablewidths::contentWidth(0));
}

} // namespace
