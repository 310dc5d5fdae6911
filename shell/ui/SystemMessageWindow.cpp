#include "shell/ui/SystemMessageWindow.h"

#include "shell/ui/TextGeometry.h"

#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
QFont messageFont()
{
    QFont font;
    font.setPixelSize(int(SystemMessageWindowController::kFontSize));
    return font;
}
} // namespace

SystemMessageWindow::SystemMessageWindow(const std::vector<RDOSystemMessage>& messages, QWidget* parent)
    : ui::Window(parent)
{
    setObjectName(QStringLiteral("systemMessageWindow"));
    setWindowTitle(QStringLiteral("系统公告"));
    const QFont font = messageFont();
    controller_ = std::make_unique<SystemMessageWindowController>(messages,
        [&font](const QString& text, double width, double height) {
            return textgeometry::sizeForWidth(text, width, height, font).height();
        });
    contentTextView_ = new QTextBrowser(this);
    contentTextView_->setObjectName(QStringLiteral("contentTextView"));
    // Server text: shown as plain text, loads nothing, runs nothing.
    contentTextView_->setOpenLinks(false);
    contentTextView_->setFont(font);
    contentTextView_->setPlainText(controller_->contentString());
    contentTextView_->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 0, 12, 0);
    layout->addWidget(contentTextView_);
    const int width = int(SystemMessageWindowController::kTextWidth) + 36;
    setFixedSize(width, int(controller_->windowHeight()));
}

SystemMessageWindow::~SystemMessageWindow() = default;
