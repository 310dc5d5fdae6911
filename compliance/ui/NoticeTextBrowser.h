#pragma once

#include <QTextBrowser>
#include <QUrl>
#include <memory>

// Shows server text (notices, agreements, fetched pages): no script ever
// runs, nothing is loaded from anywhere (no pictures, style sheets or
// frames), and only http and https links open, in the default browser.
class NoticeTextBrowser final : public QTextBrowser {
    Q_OBJECT
public:
    explicit NoticeTextBrowser(QWidget* parent = nullptr);
    ~NoticeTextBrowser() override;

    // A notice's text, as text.
    void showText(const QString& text);
    // The page behind a web address, fetched without its resources; errors
    // and the address itself are shown as text.
    void showWebPage(const QUrl& url);

    QVariant loadResource(int type, const QUrl& name) override;
    // Whether a clicked link is opened (in the default browser).
    static bool opensLink(const QUrl& url);

private:
    std::shared_ptr<void> pending_;
};
