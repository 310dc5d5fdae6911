#pragma once

#include "shell/formatters/FloatNumberFormatter.h"
#include "shell/formatters/StockCodeFormatter.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>
#include <limits>

// What the order forms share when they show their page's state.

// A field the user is typing in keeps its cursor unless the text changed.
inline void setIfChanged(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text)
        edit->setText(text);
}

// An order form's price takes digits and one point, not the first
// character, and its quantity digits only: a keystroke or paste refused
// leaves the field as it was, with no message.
inline void usePriceAndQuantityFormatters(QLineEdit* price, QLineEdit* quantity)
{
    price->setValidator(new FloatNumberFormatter(price));
    // The code's digits-only formatter, with no length of its own.
    auto* digits = new StockCodeFormatter(quantity);
    digits->setMaxLength(std::numeric_limits<quint64>::max());
    quantity->setValidator(digits);
}

// The price stepper beside a price field: an up and a down arrow, one over
// the other ("priceStepperUp", "priceStepperDown"), that never take the
// focus and repeat while held. `step` hears +1 or -1 per click.
inline QWidget* makePriceStepper(QWidget* parent, std::function<void(int)> step)
{
    auto* stepper = new QWidget(parent);
    stepper->setObjectName(QStringLiteral("priceStepper"));
    auto* column = new QVBoxLayout(stepper);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (const bool up : { true, false }) {
        auto* arrow = new QToolButton(stepper);
        arrow->setObjectName(up ? QStringLiteral("priceStepperUp") : QStringLiteral("priceStepperDown"));
        arrow->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
        arrow->setFixedSize(18, 12);
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);
        column->addWidget(arrow);
        QObject::connect(arrow, &QToolButton::clicked, stepper, [step, up] { step(up ? 1 : -1); });
    }
    return stepper;
}

// A form's labels, fields, pop-ups (their lists too) and buttons in one font,
// the page's. Under the window's style sheet a widget's font is otherwise the
// application's font for its class (a desktop theme may give labels and
// pop-ups a smaller one) or its parent's, whichever was worked out last: a
// re-polish, a re-shown window or a box over it would switch between them.
inline void useOneFont(const QList<QWidget*>& forms, QFont font)
{
    // Every property set, so that none is taken from the class's font.
    font.setResolveMask(QFont::AllPropertiesResolved);
    for (QWidget* form : forms) {
        QList<QWidget*> widgets = form->findChildren<QWidget*>();
        widgets.prepend(form);
        for (QWidget* w : widgets) {
            w->setFont(font);
            if (auto* box = qobject_cast<QComboBox*>(w))
                box->view()->setFont(font);
        }
    }
}
