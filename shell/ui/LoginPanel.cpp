#include "shell/ui/LoginPanel.h"

#include "shell/ui/LoginView.h"

#include <QVBoxLayout>

LoginPanel::LoginPanel(LoginViewControllerServices services, QWidget* parent)
    : ui::Window(parent)
    , controller_(services)
    , alerts_(this)
{
    setObjectName(QStringLiteral("loginPanel"));
    setWindowTitle(QStringLiteral("新用户登录"));
    controller_.loginViewController().setAlertPresenter(&alerts_);
    loginView_ = new LoginView(controller_.loginViewController(), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 8);
    layout->addWidget(loginView_);
    setFixedWidth(420);
    connect(&controller_, &LoginPanelController::stopModal, this, [this](int code) {
        endModal(code);
        close();
    });
}

LoginPanel::~LoginPanel() = default;

void LoginPanel::willClose() { controller_.windowWillClose(); }
