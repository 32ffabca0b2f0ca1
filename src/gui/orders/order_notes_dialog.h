#pragma once

#include "base/error.h"
#include "base/messages.h"

#include <QDialog>

class QFormLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace os {

class DetailGrid;
class Table;
class TMainDataMod;

// The first line of an order dialog: which order it works on, "Invoice 12:
// Jane Doe" (the company when the order has no name), in bold, as the label
// "OrderLine" added to `layout`.
QLabel* addOrderLine(QWidget* dialog, QVBoxLayout* layout, const Table& orders);

// The pattern of the order dialogs that take notes (Void Order, Status
// Pending, Change Price, Order Notes, Receive Payment): a text saying what
// the dialog does, the dialog's own fields, the current order's notes in an
// editing grid with the record navigator, and OK, Cancel, Help. Modal, on
// the current order of the shared ORDERs; the notes are the shared
// InvoiceNotes, which follows it.
//
// OK runs the dialog's own step (OKBtnClick). Cancel, Escape and the close
// box drop a note row still being typed; a dialog whose close box keeps it
// says so (closeBoxSavesNote).
class OrderNotesDialog : public QDialog
{
    Q_OBJECT
public:
    OrderNotesDialog(const QString& caption, int helpTopic, const QString& text,
                     const QString& notesTitle, QWidget* parent = nullptr);
    ~OrderNotesDialog() override;

    TMainDataMod& data() const { return *m_data; }
    Table& orders() const;

    QLabel* Label1 = nullptr; // the dialog's text
    DetailGrid* Notes = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

    void reject() override; // Cancel, Escape, the close box

protected:
    // The dialog's fields go here, between the text and the notes.
    QFormLayout* fields() const { return m_fields; }
    // A read-only field showing `text`.
    QLabel* addShown(const QString& label, const QString& text, const char* objectName);
    // OK: the default saves a note row still being typed and closes.
    virtual void OKBtnClick();
    // Saves a note row still being typed; false when it was refused (shown).
    bool saveNote();
    void discardNote();
    void setCloseBoxSavesNote(bool on) { m_closeBoxSavesNote = on; }
    // Runs `step`; an engine failure is shown with its own text (false).
    template <class F> bool guarded(F step)
    {
        try {
            step();
            return true;
        } catch (const Error& e) {
            messages().error(e.text());
            return false;
        }
    }

    void closeEvent(QCloseEvent* event) override;

private:
    TMainDataMod* m_data;
    QFormLayout* m_fields = nullptr;
    bool m_closeBoxSavesNote = false;
    bool m_closing = false;
};

} // namespace os
