#pragma once

#include "compliance/BusinessContractWindow.h"
#include "shell/ui/RunAlert.h"
#include "shell/ui/Window.h"

#include <memory>

class NoticeTextBrowser;
class QCheckBox;
class QProgressBar;
class QPushButton;

// The notice window: the notice's text or page, the "read it" check box,
// cancel and agree. It shows the controller's state, forwards the clicks and
// closes when the controller has finished; closing it declines.
class BusinessContractView final : public ui::Window {
    Q_OBJECT
public:
    BusinessContractView(std::shared_ptr<BusinessContractWindow> controller, QWidget* parent = nullptr);
    ~BusinessContractView() override;

    BusinessContractWindow& controller() { return *controller_; }

protected:
    void willClose() override;

private:
    void refresh();

    std::shared_ptr<BusinessContractWindow> controller_;
    WindowAlertPresenter alerts_;
    NoticeTextBrowser* textView_;
    QCheckBox* checkButton_;
    QPushButton* cancelButton_;
    QPushButton* agreeButton_;
    QProgressBar* progressIndicator_;
    bool bodyShown_ = false;
};

// Shows notice windows application-modal over their parent.
class ContractWindowPresenter final : public IContractWindowPresenter {
public:
    void present(const std::shared_ptr<BusinessContractWindow>& window, QObject* parent) override;
};

// Makes the compliance windows the ones notices and pages use.
void installComplianceViews();
