#pragma once

#include <QDialog>
#include <QString>

class QLayout;
class QPushButton;

namespace os {

// The pattern of the store-configuration editors of the "&Options" menu: a
// modal window filled from the settings record when it is made. OK (or Done)
// calls store(); when that accepts, the settings file is written and the
// window closes. Cancel, Escape and the title bar close without storing.
class ConfigEditor : public QDialog
{
    Q_OBJECT
public:
    QPushButton* OKBtn = nullptr;     // "OK", "&OK", "Done" or "&Done"
    QPushButton* CancelBtn = nullptr; // null in a window without Cancel
    QPushButton* HelpBtn = nullptr;

protected:
    ConfigEditor(QWidget* parent, const QString& objectName, const QString& caption, int helpTopic);

    // Lays out `body` above the button row; an empty `cancelText` leaves
    // Cancel out.
    void finish(QLayout* body, const QString& okText, const QString& cancelText,
                const QString& helpText);

    // Stores the controls into the settings record. False (after telling the
    // merchant why) when nothing may be stored: the window stays open.
    virtual bool store() = 0;

    int helpTopic() const { return m_helpTopic; }

private:
    void OKBtnClick();

    int m_helpTopic;
};

// A flat button that looks like a link ("Show Shipping Extensions").
QPushButton* makeLinkButton(const QString& text, const QString& objectName, QWidget* parent);

} // namespace os
