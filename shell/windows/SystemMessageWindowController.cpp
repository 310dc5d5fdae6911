#include "shell/windows/SystemMessageWindowController.h"

#include <algorithm>

SystemMessageWindowController::SystemMessageWindowController(
    const std::vector<RDOSystemMessage>& messages, const MeasureHeight& measure)
{
    double running = 0.0;
    for (const RDOSystemMessage& message : messages) {
        const QString text = QStringLiteral("\n%1\n\n%2\n").arg(message.title(), message.content());
        running += measure(text, kTextWidth, kMaxHeight) + 30.0;
        contentString_ += text;
    }
    height_ = std::min(kMaxHeight, running + 15.0);
}
