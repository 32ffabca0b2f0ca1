#include "gui/storeconfig/colors_form.h"

#include "base/messages.h"
#include "base/settings.h"
#include "storeconfig/named_colors.h"

#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

namespace os {

namespace {

QIcon swatch(int value, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(QColor::fromRgb(rgbOfColorValue(value)));
    QPainter painter(&pixmap);
    painter.setPen(Qt::gray); // white stays visible on a white list
    painter.drawRect(0, 0, size - 1, size - 1);
    return QIcon(pixmap);
}

} // namespace

ColorPicker::ColorPicker(const QString& objectName, QWidget* parent) : QComboBox(parent)
{
    setObjectName(objectName);
    const int size = fontMetrics().height();
    setIconSize(QSize(size, size));
    for (const NamedColor& c : namedColors())
        addItem(swatch(c.value, size), QString::fromLatin1(c.name), c.value);
}

void ColorPicker::setColorValue(int value)
{
    // A colour of the stored settings that none of the names stands for.
    const int named = int(namedColors().size());
    if (count() > named)
        removeItem(named);
    int index = namedColorIndex(value);
    if (index < 0) {
        addItem(swatch(value, iconSize().height()), QColor::fromRgb(rgbOfColorValue(value)).name(),
                value);
        index = named;
    }
    setCurrentIndex(index);
}

int ColorPicker::colorValue() const
{
    return currentData().toInt();
}

TColorsForm::TColorsForm(QWidget* parent)
    : ConfigEditor(parent, QStringLiteral("ColorsForm"), QStringLiteral("Colors and Appearance"),
                   13)
{
    setMinimumWidth(420);
    auto* body = new QGroupBox(QStringLiteral("<BODY Attributes>"), this);
    auto* bodyLayout = new QFormLayout(body);
    BGColorBox = new ColorPicker(QStringLiteral("BGColorBox"), body);
    TextColorBox = new ColorPicker(QStringLiteral("TextColorBox"), body);
    LinkColorBox = new ColorPicker(QStringLiteral("LinkColorBox"), body);
    ALinkColorBox = new ColorPicker(QStringLiteral("ALinkColorBox"), body);
    VLinkColorBox = new ColorPicker(QStringLiteral("VLinkColorBox"), body);
    bodyLayout->addRow(QStringLiteral("Background:"), BGColorBox);
    bodyLayout->addRow(QStringLiteral("Text:"), TextColorBox);
    bodyLayout->addRow(QStringLiteral("Link:"), LinkColorBox);
    bodyLayout->addRow(QStringLiteral("Active Link:"), ALinkColorBox);
    bodyLayout->addRow(QStringLiteral("Visited Link:"), VLinkColorBox);

    auto* advanced = new QGroupBox(QStringLiteral("Advanced Options"), this);
    auto* advancedLayout = new QFormLayout(advanced);
    BGImageEdit = new QLineEdit(advanced);
    BGImageEdit->setObjectName(QStringLiteral("BGImageEdit"));
    BGImageEdit->installEventFilter(this);
    advancedLayout->addRow(QStringLiteral("Background Image Path:"), BGImageEdit);

    auto* layout = new QVBoxLayout;
    layout->addWidget(body);
    layout->addWidget(advanced);
    layout->addStretch(1);
    finish(layout, QStringLiteral("&OK"), QStringLiteral("&Cancel"), QStringLiteral("&Help"));

    const Settings& s = settings();
    BGColorBox->setColorValue(s.BGColor);
    TextColorBox->setColorValue(s.TextColor);
    LinkColorBox->setColorValue(s.LinkColor);
    ALinkColorBox->setColorValue(s.ALinkColor);
    VLinkColorBox->setColorValue(s.VlinkColor);
    BGImageEdit->setText(s.BGImagePath);
}

bool TColorsForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == BGImageEdit && event->type() == QEvent::MouseButtonRelease)
        messages().warning(QStringLiteral(
            "Background images may cause security problems in a secure area if you do not have "
            "your own digital certificate; it is recommended that you leave this blank."));
    return ConfigEditor::eventFilter(watched, event);
}

bool TColorsForm::store()
{
    Settings& s = settings();
    s.BGColor = BGColorBox->colorValue();
    s.TextColor = TextColorBox->colorValue();
    s.LinkColor = LinkColorBox->colorValue();
    s.ALinkColor = ALinkColorBox->colorValue();
    s.VlinkColor = VLinkColorBox->colorValue();
    s.BGImagePath = BGImageEdit->text();
    return true;
}

} // namespace os
