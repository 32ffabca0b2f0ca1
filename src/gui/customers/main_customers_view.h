#pragma once

#include "customers/customer_list.h"
#include "gui/app/child_browser.h"

class QLineEdit;
class QMenu;
class QToolButton;

namespace os {

class DbGrid;
class RecordNavigator;
class Table;

// The customers browser ("Customers View"): every customer account the
// store delivered, or those one search finds, in a grid. A maximised child
// window of the main window, one instance (TMainForm::showChildBrowser).
// The list is its own paged cursor over customers.db (MainCustomersView):
// the profile shows its current row and the Mailing List Builder merges the
// rows it lists. Its commands are the rows of customersViewCommands().
class TMainCustomersView : public ChildBrowser
{
    Q_OBJECT
public:
    explicit TMainCustomersView(MainServices* main, QWidget* parent = nullptr);
    ~TMainCustomersView() override;

    // The customer list as last set (the mailing-list merge reads its rows).
    Table& customers() const { return *MainCustomersView; }
    CustomerListQuery listQuery() const { return m_query; }
    // Whether the list holds a row with a customer number (the profile's).
    bool hasCustomer() const;
    bool hasRows() const;

    // The commands.
    void searchColumn(const QString& column); // a Find menu item
    void RemoveQueryClick();
    void ProfileClick();
    void BuildListClick();
    void ExportClick();

    void updateCommands() override;

    Table* MainCustomersView = nullptr;
    DbGrid* Grid = nullptr;
    RecordNavigator* Navigator = nullptr;
    QLineEdit* SearchEdit = nullptr;
    QToolButton* FindButton = nullptr;
    QMenu* FindMenu = nullptr;

private:
    void buildFindMenu();
    void setList(const CustomerListQuery& query);
    CustomerListQuery m_query;
};

} // namespace os
