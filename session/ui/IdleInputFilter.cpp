#include "session/ui/IdleInputFilter.h"

#include <QEvent>

IdleInputFilter::IdleInputFilter(std::function<void()> input, QObject* parent)
    : QObject(parent)
    , input_(std::move(input))
{
}

bool IdleInputFilter::isInput(int eventType)
{
    switch (eventType) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
        return true;
    default:
        return false;
    }
}

bool IdleInputFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (isInput(event->type()) && input_)
        input_();
    return QObject::eventFilter(watched, event);
}
