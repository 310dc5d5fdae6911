// Content widths measured from a font when rows arrive: every text fits,
// characters outside the basic plane included.
#include "shell/TableTestData.h"
#include "shell/tables/DVTableModel.h"
#include "shell/tables/TableWidths.h"

#include <QFont>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// Advances in 64ths of a pixel, each rounded up, summed and rounded up to
// whole pixels once.
int sumOfAdvances(const QFont& font, const QString& text)
{
    const QFontMetricsF metrics(font);
    qint64 width = 0;
    for (QChar c : text)
        width += qint64(std::ceil(metrics.horizontalAdvance(c) * 64));
    return int((width + 63) / 64);
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
    EXPECT_EQ(widths[0], tablewidths::contentWidth(sumOfAdvances(font, QStringLiteral("平安银行"))));
    EXPECT_EQ(widths[1], tablewidths::contentWidth(sumOfAdvances(font, QStringLiteral("1234567.89"))));
    EXPECT_GE(widths[2], tablewidths::contentWidth(metrics.horizontalAdvance(rare)));
    // No text comes out narrower than when it is shaped whole: whole-pixel
    // advances summed can fall a pixel short of a row of digits.
    const QStringList texts { "平安银行", "12.50", "万科A", "1234567.89", "招商银行", "9" };
    for (const QString& text : texts)
        EXPECT_GE(widths[text.front().isDigit() ? 1 : 0], tablewidths::contentWidth(metrics.horizontalAdvance(text)))
            << text.toStdString();

    // The same texts again measure the same; other texts measure anew.
    model.showRows(tabletest::makeTable({ "证券名称", "委托价格", "备注" }, { { "万科A", "1", "" } }));
    EXPECT_EQ(model.contentWidths()[0], tablewidths::contentWidth(sumOfAdvances(font, QStringLiteral("万科A"))));
    EXPECT_EQ(model.contentWidths()[2], tablewidths::contentWidth(0));
}

} // namespace
