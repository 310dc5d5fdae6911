#pragma once

#include "login/LoginRecords.h"

#include <QString>
#include <functional>
#include <vector>

// The system-message window without its widgets: the messages' text and the
// window's height. The view measures a text's height in its font within the
// given width; the height grows with the messages up to 390 points.
class SystemMessageWindowController final {
public:
    using MeasureHeight = std::function<double(const QString& text, double width, double height)>;
    static constexpr double kFontSize = 15.0;
    static constexpr double kTextWidth = 464.0;
    static constexpr double kMaxHeight = 390.0;

    SystemMessageWindowController(const std::vector<RDOSystemMessage>& messages, const MeasureHeight& measure);

    const QString& contentString() const { return contentString_; }
    double windowHeight() const { return height_; }

private:
    QString contentString_;
    double height_ = 0.0;
};
