#pragma once

#include "shell/pages/MenuItemViewController.h"
#include "trading/pages/PageTable.h"
#include "trading/query/CommonQueryManager.h"

#include <QDate>
#include <optional>
#include <utility>

// What the menu-driven query pages work with; null: the shared instance.
struct CommonQueryServices : MenuItemViewControllerServices {
    CommonQueryManager* commonQueryManager = nullptr;
};

// A query that a menu link describes, sent once when the page opens; the
// reply's fields become the columns. What the link's function shows that an
// action may change (money, positions, orders, the transfer history...) is
// read again while an action of unknown outcome left it owed; only the
// answer of the query asked last is shown.
class CommonQueryViewController : public MenuItemViewController, public ICommonQueryDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "CommonQueryViewController";
    using Services = CommonQueryServices;

    explicit CommonQueryViewController(BaseNode::Ptr node = nullptr, Services services = Services());

    PageTable& tableView() { return table_; }
    DVTableModel& table() { return table_.model(); }
    // A query of the page is out: the view shows that it is under way.
    bool isQuerying() const { return querying_; }

    void commonQuery(
        DataModel* request, const QString& handle, const std::shared_ptr<DTTable>& table) override;
    bool commonQuery(DataModel* request, const QString& handle, const CSError& error) override;

protected:
    void awakeFromNib() override;
    void clearAccountFigures() override;
    QStringList figuresShown() const override;
    QStringList readOwed(const QStringList& owed) override;

private:
    // Sends the link's query; a refusal is said. Answers whether it went out.
    bool query();

    CommonQueryManager* manager_;
    PageTable table_;
    bool querying_ = false;
    OneBoxAtATime failureBox_;
};

// A statement over a date range that a menu link describes. Dates are China
// dates from the clock object; the process time zone is never touched. A
// range that reaches today shows what an action may change: it is read
// again, for the range asked last, while an action of unknown outcome left
// it owed.
class HistoricQueryViewController : public MenuItemViewController, public ICommonHistoricQueryDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "HistoricQueryViewController";
    using Services = CommonQueryServices;

    explicit HistoricQueryViewController(BaseNode::Ptr node = nullptr, Services services = Services());

    PageTable& tableView() { return table_; }
    DVTableModel& table() { return table_.model(); }
    QDate beginDate() const { return beginDate_; }
    QDate endDate() const { return endDate_; }
    // The date pickers.
    void setBeginDate(const QDate& date) { beginDate_ = date; }
    void setEndDate(const QDate& date) { endDate_ = date; }
    const QString& resultCountText() const { return resultCountText_; }
    // A query of the button under way: pickers disabled, progress shown;
    // the button stays as it is.
    bool isQuerying() const { return querying_; }

    void queryButtonClicked();
    bool verifyInput();

    void commonHistoricQuery(
        DataModel* request, const QString& handle, const std::shared_ptr<DTTable>& table) override;
    bool commonHistoricQuery(DataModel* request, const QString& handle, const CSError& error) override;

protected:
    using Range = std::pair<QDate, QDate>;

    void awakeFromNib() override;
    void clearAccountFigures() override;
    QStringList figuresShown() const override;
    QStringList readOwed(const QStringList& owed) override;
    // Sends the query for `range`; "" and its handle, or why it was not sent.
    virtual QString sendQuery(const Range& range, QString* handle);
    // How a reply's table reaches the view: columns of the first reply stay.
    virtual void showTable(const std::shared_ptr<DTTable>& table) { table_.show(table); }
    void beginToQuery();
    void endToQuery();

    CommonQueryManager* manager_;
    PageTable table_;

private:
    // Sends for `range`; a refusal is said and frees the controls. Answers
    // whether the query went out.
    bool send(const Range& range);
    // The range of the query asked last reaches today.
    bool showsToday() const;

    // The range of the query asked last, and of the rows the table shows.
    std::optional<Range> askedRange_;
    std::optional<Range> shownRange_;
    QDate beginDate_;
    QDate endDate_;
    QString resultCountText_ = QStringLiteral("0");
    bool querying_ = false;
    OneBoxAtATime failureBox_;
};

// The historic page whose link names one function for today and one for
// the past; each reply rebuilds the columns, as the two differ.
class HistoricQueryViewControllerEx : public HistoricQueryViewController {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "HistoricQueryViewControllerEx";
    using HistoricQueryViewController::HistoricQueryViewController;

protected:
    QString sendQuery(const Range& range, QString* handle) override;
    void showTable(const std::shared_ptr<DTTable>& table) override;
    // What either of its functions shows.
    QStringList figuresShown() const override;
};

// A page class the program carries and no menu entry opens: it shows nothing.
class ChosenViewController : public MenuItemViewController {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "ChosenViewController";
    using MenuItemViewController::MenuItemViewController;
};
