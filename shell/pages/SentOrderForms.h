#pragma once

#include <QHash>
#include <QString>
#include <optional>

// The code and quantity an order form held when its order was confirmed.
struct OrderFormHeld {
    QString code;
    QString quantity;
    bool operator==(const OrderFormHeld&) const = default;
};

// The forms a page's orders went out from, by handle. Once an order's dialog
// has closed (the lock, its time limit) the customer may type the next one:
// the answer acts on the form only while it still holds that order.
class SentOrderForms {
public:
    void sent(const QString& handle, const OrderFormHeld& form)
    {
        if (!handle.isEmpty())
            forms_.insert(handle, form);
    }
    // The form `handle`'s order went out from; forgotten from now on.
    std::optional<OrderFormHeld> answered(const QString& handle)
    {
        const auto it = forms_.constFind(handle);
        if (it == forms_.cend())
            return std::nullopt;
        const OrderFormHeld form = *it;
        forms_.erase(it);
        return form;
    }
    void clear() { forms_.clear(); }

private:
    QHash<QString, OrderFormHeld> forms_;
};
