// The security model keeps no quote colours of its own: they are the shared
// style's, whichever side sets the scheme.
#include "shell/tables/TableStyle.h"
#include "trading/security/Security.h"

#include <gtest/gtest.h>

namespace {

TEST(SecurityColours, OneSchemeSharedWithTheStyle)
{
    Security::resetClassState();
    TableStyle* style = TableStyle::getInstance();
    EXPECT_EQ(Security::upsColor(), style->upsColor());
    EXPECT_EQ(Security::upsColor(), QColor::fromRgbF(1, 0, 0));

    Security::setQuoteColorType(1);
    EXPECT_EQ(style->quoteColorType(), 1);
    EXPECT_EQ(style->upsColor(), QColor::fromRgbF(0, 1, 0));
    EXPECT_EQ(Security::indexDownsColor(), style->indexDownsColor());

    style->setQuoteColorType(0);
    EXPECT_EQ(Security::upsColor(), QColor::fromRgbF(1, 0, 0));
    EXPECT_EQ(Security::downsColor(), QColor::fromRgbF(0, 1, 0));
    EXPECT_EQ(Security::indexUpsColor(), QColor::fromRgbF(0.8f, 0, 0));
    // Not a scheme: nothing changes.
    Security::setQuoteColorType(5);
    EXPECT_EQ(style->quoteColorType(), 0);
    Security::resetClassState();
}

} // namespace
