#pragma once

#include "shell/pages/ReservationInfoViewController.h"
#include "shell/ui/MenuItemView.h"

class QLineEdit;
class QPushButton;

// The reserved-greeting page's widgets; it shows its ReservationInfoViewController.
class ReservationInfoView final : public MenuItemView {
    Q_OBJECT
public:
    ReservationInfoView(ReservationInfoViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    ReservationInfoViewController& page_;
    QLineEdit* currentTextField_ = nullptr;
    QLineEdit* inputTextField_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    QPushButton* submitButton_ = nullptr;
};
