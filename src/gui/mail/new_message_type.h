#pragma once

#include "mail/merge_letter.h"

#include <QDialog>

class QComboBox;
class QPushButton;

namespace os {

class Table;

// "New Message Type": starts a message to one customer or for one order,
// optionally from a Quillform Template merged with the record. "&OK" inserts
// the message into the shared OUTBOX (To: the record's EMAIL; from a
// template also its subject, sender and merged body, with the shipping-info
// tag emptied) and shows the New E-mail Message window on it, where the
// merchant posts or cancels it.
class TNewMessageType : public QDialog
{
    Q_OBJECT
public:
    // A row of a table: the shared ORDERs (an order letter) or a customer table.
    explicit TNewMessageType(const Table& source, QWidget* parent = nullptr);
    // Any record (a customer list row, say), by its columns.
    TNewMessageType(MergeField source, bool isOrder, QWidget* parent = nullptr);

    QComboBox* TemplateCombo = nullptr; // "Optional Quillform Template:"
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

    void OKBtnClick();

private:
    void build();
    MergeField m_source;
    bool m_isOrder = false;
};

} // namespace os
