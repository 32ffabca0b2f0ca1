#pragma once

#include "gui/storeconfig/config_editor.h"

#include <QComboBox>

class QLineEdit;

namespace os {

// A picker of the named page colours (namedColors) over a Windows colour
// value. A value that is none of them is shown as one more entry, by its
// #rrggbb, and stays what it was unless another colour is picked.
class ColorPicker : public QComboBox
{
    Q_OBJECT
public:
    explicit ColorPicker(const QString& objectName, QWidget* parent = nullptr);
    void setColorValue(int value);
    int colorValue() const;
};

// "Colors and Appearance": the colours and background image of the store's
// pages (the attributes of their <BODY> tag).
class TColorsForm : public ConfigEditor
{
    Q_OBJECT
public:
    explicit TColorsForm(QWidget* parent = nullptr);

    ColorPicker* BGColorBox = nullptr;
    ColorPicker* TextColorBox = nullptr;
    ColorPicker* LinkColorBox = nullptr;
    ColorPicker* ALinkColorBox = nullptr;
    ColorPicker* VLinkColorBox = nullptr;
    QLineEdit* BGImageEdit = nullptr;

protected:
    bool store() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace os
