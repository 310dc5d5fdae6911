#include "compliance/ui/NoticeTextBrowser.h"

#include "platform/WebView.h"

#include <QDesktopServices>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextFrameFormat>

NoticeTextBrowser::NoticeTextBrowser(QWidget* parent)
    : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("textView"));
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setReadOnly(true);
    QFont big = font();
    big.setPointSize(18);
    setFont(big);
    connect(this, &QTextBrowser::anchorClicked, this, [](const QUrl& url) {
        if (opensLink(url))
            QDesktopServices::openUrl(url);
    });
}

NoticeTextBrowser::~NoticeTextBrowser() = default;

bool NoticeTextBrowser::opensLink(const QUrl& url)
{
    return platform::WebPageLoader::isWebUrl(url);
}

QVariant NoticeTextBrowser::loadResource(int, const QUrl&)
{
    return QVariant();
}

namespace {

// 10 points left and right, 20 above and below, 8 points between lines.
void layOut(QTextDocument* document, bool lineSpacing)
{
    QTextFrameFormat frame = document->rootFrame()->frameFormat();
    frame.setLeftMargin(10);
    frame.setRightMargin(10);
    frame.setTopMargin(20);
    frame.setBottomMargin(20);
    document->rootFrame()->setFrameFormat(frame);
    if (!lineSpacing)
        return;
    QTextCursor cursor(document);
    cursor.select(QTextCursor::Document);
    QTextBlockFormat block;
    block.setLineHeight(8, QTextBlockFormat::LineDistanceHeight);
    cursor.mergeBlockFormat(block);
}

} // namespace

void NoticeTextBrowser::showText(const QString& text)
{
    pending_.reset();
    setPlainText(text);
    layOut(document(), true);
}

void NoticeTextBrowser::showWebPage(const QUrl& url)
{
    setPlainText(QStringLiteral("正在加载……"));
    pending_ = platform::WebPageLoader::shared()->load(url, [this, url](const platform::WebPage& page) {
        pending_.reset();
        if (page.error) {
            setPlainText(QStringLiteral("页面无法显示：%1\n%2").arg(*page.error, url.toDisplayString()));
            return;
        }
        // Rich text here is Qt's own subset: scripts are not run, and
        // loadResource() refuses every picture and style sheet.
        setHtml(page.html);
        layOut(document(), false);
    });
}
