#pragma once

#include "gui/app/child_browser.h"

#include <QUrl>

class QComboBox;
class QLineEdit;
class QTabWidget;
class QTextBrowser;
class QToolButton;

namespace os {

class DbGrid;
class RecordNavigator;
class TMainDataMod;
class Table;

// The orders browser ("Orders View"): the shared ORDERs through a grid,
// filtered by state, with the invoice of the current order on a second page
// and every per-order command. A maximised child window of the main window,
// one instance (TMainForm::showChildBrowser). Its commands are the rows of
// ordersViewCommands() (orders_commands.cpp); the dialogs that come with
// their own windows are wired there.
class TOrdersView : public ChildBrowser
{
    Q_OBJECT
public:
    // The menus of the command table.
    enum Place
    {
        ToolBar = 0,
        ActivitiesMenu,
        WizardsMenu,
        MarkOrderMenu,
        PaymentMethodMenu,
        MarkAllMenu,
        NotesMenu
    };

    explicit TOrdersView(MainServices* main, QWidget* parent = nullptr);
    ~TOrdersView() override;

    TMainDataMod& data() const { return *m_data; }
    Table& orders() const;
    // The current order's state and method ("" when the list is empty).
    QString currentState() const;
    QString currentMethod() const;
    bool hasOrders() const;

    // Filters on a column's value with the filter box on "Custom" (the
    // customer profile's "Go To Selected Order" and "View These Orders").
    void ApplyCustomFilter(const QString& column, const QString& value);

    // The commands (the command table runs these).
    void FilterBoxChange(int index);
    void FindClick();
    void ExportClick();
    void MarkOrderClick(const QString& state);
    void MarkAllClick(const QString& target);
    void ChangeMethodClick(const QString& method);
    void DeleterecordClick();
    void ShowAllFromCustomerClick();
    void PrintClick();         // ToolbarButton973 and "Print (default)": no dialog
    void SelectPrinterClick(); // the print dialog first
    void SaveAsPdfClick();
    // "Credit Card Pop-Up": the card window, or Phone Payment for an order
    // without a card number yet (cardWindowFor).
    void CCBUTTONClick();

    // Runs an order dialog on the current order, modal, and brings the
    // browser up to date after it.
    template <class Dialog> void openDialog()
    {
        {
            Dialog dialog(this);
            dialog.exec();
        }
        afterDialog();
    }

    void broughtToFront() override;
    void updateCommands() override;

    // Controls, by the names the program's documentation gives them.
    RecordNavigator* Navigator = nullptr;
    QComboBox* FilterBox = nullptr;
    QLineEdit* FindEdit = nullptr;
    QTabWidget* Pages = nullptr;
    DbGrid* Grid = nullptr;
    QTextBrowser* WebBrowser1 = nullptr;
    QToolButton* ToolbarButton973 = nullptr; // Print
    DbGrid* HistoryGrid = nullptr;           // "Order History": the current order's changes
    // The page shown on "Web Page View" (the invoice file or null.html).
    QUrl shownPage() const { return m_shownPage; }

private:
    void buildGrid();
    void buildWebPage();
    void buildHistoryPage();
    void afterDialog();
    void setFilterEntry(const QString& entry); // the box only, no filter change
    void loadWebPage();
    void print(bool withDialog);
    // Runs a command; an engine failure is shown with its own text.
    template <class F> void guarded(F f);

    TMainDataMod* m_data;
    Table* m_history = nullptr; // order_history.db, following the current order
    QUrl m_shownPage;
};

} // namespace os
