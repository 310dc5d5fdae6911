#include "core/MarketCodeTransfer.h"

#include <gtest/gtest.h>

TEST(MarketCodeTransfer, MapsTradeMarketsToExchangeDigits)
{
    EXPECT_EQ(MarketCodeTransfer::transferCode("0"), "1");
    EXPECT_EQ(MarketCodeTransfer::transferCode("2"), "1");
    EXPECT_EQ(MarketCodeTransfer::transferCode("1"), "2");
    EXPECT_EQ(MarketCodeTransfer::transferCode("3"), "2");
    EXPECT_EQ(MarketCodeTransfer::transferCode("6"), "5");
    EXPECT_EQ(MarketCodeTransfer::transferCode("7"), "5");
    EXPECT_EQ(MarketCodeTransfer::transferCode("5"), "5");
    EXPECT_EQ(MarketCodeTransfer::transferCode(""), "");
    // By the code's value, in whatever form a number field sends it.
    EXPECT_EQ(MarketCodeTransfer::transferCode("00"), "1");
    EXPECT_EQ(MarketCodeTransfer::transferCode("0.000"), "1");
    EXPECT_EQ(MarketCodeTransfer::transferCode("1.0"), "2");
    EXPECT_EQ(MarketCodeTransfer::transferCode(" 7 "), "5");
    EXPECT_EQ(MarketCodeTransfer::transferCode("5.000"), "5");
    EXPECT_EQ(MarketCodeTransfer::transferCode("A"), "A");

    EXPECT_EQ(MarketCodeTransfer::fixCode("600000", "1"), "600000.2");
    EXPECT_EQ(MarketCodeTransfer::fixCode("000001", "0"), "000001.1");
    EXPECT_EQ(MarketCodeTransfer::fixCode("430001", "6"), "430001.5");
    EXPECT_EQ(MarketCodeTransfer::fixCode("00700", "5"), "00700.5");
    EXPECT_EQ(MarketCodeTransfer::fixCode("600000", "1.000"), "600000.2");
    EXPECT_EQ(MarketCodeTransfer::mergeCode("600000", "2"), "600000.2");
    EXPECT_EQ(MarketCodeTransfer::mergeCode("600000", "1"), "600000.1");
}
