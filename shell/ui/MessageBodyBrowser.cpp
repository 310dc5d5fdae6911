#include "shell/ui/MessageBodyBrowser.h"

#include "platform/WebView.h"

#include <QDesktopServices>

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

QVariant MessageBodyBrowser::loadResource(int, const QUrl&)
{
    return QVariant();
}

bool MessageBodyBrowser::opensLink(const QUrl& url)
{
    return platform::WebPageLoader::isWebUrl(url);
}
