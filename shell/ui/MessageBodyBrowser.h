#pragma once

#include <QTextBrowser>

// A broker message's body: the server's HTML in Qt's rich-text subset, so no
// script runs; nothing is loaded (pictures, style sheets) and only http and
// https links open, in the default browser, never inside the view. A picture
// shows nothing.
class MessageBodyBrowser final : public QTextBrowser {
    Q_OBJECT
public:
    explicit MessageBodyBrowser(QWidget* parent = nullptr);

    QVariant loadResource(int type, const QUrl& name) override;
    // Whether a clicked link is opened in the default browser.
    static bool opensLink(const QUrl& url);

signals:
    // A link that was handed to the default browser.
    void linkOpened(const QUrl& url);
};
