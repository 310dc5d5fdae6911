#include "shell/ui/MessageBodyBrowser.h"

#include "platform/WebView.h"

#include <QDesktopServices>
#include <QImage>
#include <QTextDocument>

MessageBodyBrowser::MessageBodyBrowser(QWidget* parent)
    : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (!opensLink(url))
            return;
        QDesktopServices::openUrl(url);
        emit linkOpened(url);
    });
}

QVariant MessageBodyBrowser::loadResource(int type, const QUrl&)
{
    // Nothing is fetched. A picture the body names takes no room and shows
    // nothing: without an image the view would draw its broken-image icon.
    if (type == QTextDocument::ImageResource) {
        QImage blank(1, 1, QImage::Format_ARGB32_Premultiplied);
        blank.fill(Qt::transparent);
        return blank;
    }
    return QVariant();
}

bool MessageBodyBrowser::opensLink(const QUrl& url)
{
    return platform::WebPageLoader::isWebUrl(url);
}
