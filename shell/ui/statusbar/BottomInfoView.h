#pragma once

#include "core/ui/SiteWindowController.h"
#include "shell/ui/Window.h"
#include "shell/windows/BottomInfoViewController.h"

#include <QWidget>
#include <array>

#include <QLabel>

class QPushButton;

// An index line that gives way on a narrow screen rather than widen the
// window past its edge: it leaves out whole figures from its end (turnover
// first) and never shows a number cut short. Only a name too long for the
// line is shortened, with "…".
class IndexLineLabel final : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override;
    // The line as drawn at the label's present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The bar along the bottom of the main window; it shows its
// BottomInfoViewController. Clicking the server label opens the server-list
// window (one at a time).
class BottomInfoView final : public QWidget {
    Q_OBJECT
public:
    // Without an index request the security manager's is used.
    explicit BottomInfoView(BottomInfoViewController::Services services = {}, QWidget* parent = nullptr);
    ~BottomInfoView() override;

    BottomInfoViewController& controller() { return controller_; }
    SiteWindowController* siteWindowController() const { return siteWindow_.get(); }

private:
    static BottomInfoViewController::Services withDefaults(BottomInfoViewController::Services services);
    void refresh();

    BottomInfoViewController controller_;
    std::array<QLabel*, 3> indexInfoText_ {};
    QPushButton* serverInfoText_ = nullptr;
    ui::WindowSlot<SiteWindowController> siteWindow_;
};
