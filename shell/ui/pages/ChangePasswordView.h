#pragma once

#include "shell/pages/ChangePasswordViewController.h"
#include "shell/ui/MenuItemView.h"

#include <array>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The password page's widgets; it shows its ChangePasswordViewController.
class ChangePasswordView final : public MenuItemView {
    Q_OBJECT
public:
    ChangePasswordView(ChangePasswordViewController& controller, QWidget* parent = nullptr);

    QLineEdit* field(ChangePasswordViewController::Field field) const { return fields_[size_t(field)]; }

protected:
    void refresh() override;

private:
    ChangePasswordViewController& page_;
    QButtonGroup* passwordTypeSegment_ = nullptr;
    QLabel* fundLabel_ = nullptr;
    QComboBox* fundButton_ = nullptr;
    std::array<QLineEdit*, 3> fields_ {};
};
