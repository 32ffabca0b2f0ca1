#include "gui/mail/newio.h"
#include "gui/app/window_size.h"

#include "base/error.h"
#include "base/messages.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/dialog_buttons.h"
#include "gui/mail/tag_highlighter.h"
#include "mail/merge_letter.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace os {

namespace {

constexpr int kHelpTopic = 26;
constexpr int kBlinkMs = 3000;
constexpr int kBlinkStepMs = 250;

const QString kDuplicate =
    QStringLiteral("Ordersentinel failed to add the Quillform Template to the Quillform "
                   "database.\r\r The most likely reason is that you have an Quillform Template "
                   "with the same subject in the database. Each Quillform Template must have a "
                   "unique subject.");

QToolButton* toolButton(const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setObjectName(QLatin1String(name));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return b;
}

} // namespace

Tnewio::Tnewio(Mode mode, QWidget* parent) : QDialog(parent), m_mode(mode)
{
    setObjectName(QStringLiteral("newio"));
    setWindowTitle(mode == Mode::Modify ? QStringLiteral("Modify Quillform Template")
                                        : QStringLiteral("New Quillform Template"));
    resizeWithinScreen(this,
                       QSize(fontMetrics().averageCharWidth() * 110, fontMetrics().height() * 38));

    SubjectEdit = new QLineEdit(this);
    SubjectEdit->setObjectName(QStringLiteral("SubjectEdit"));
    SubjectEdit->setMaxLength(100);
    FromEdit = new QLineEdit(this);
    FromEdit->setObjectName(QStringLiteral("FromEdit"));
    FromEdit->setMaxLength(255);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Subject:"), SubjectEdit);
    form->addRow(QStringLiteral("&From:"), FromEdit);

    BodyEdit = new QPlainTextEdit(this);
    BodyEdit->setObjectName(QStringLiteral("BodyEdit"));
    BodyEdit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    BodyEdit->setTabChangesFocus(true);
    m_highlighter = new TagHighlighter(BodyEdit->document());

    CopyBtn = toolButton(QStringLiteral("Copy"), "CopyBtn", this);
    CopyBtn->setIcon(QIcon::fromTheme(QStringLiteral("edit-copy")));
    CopyBtn->setToolTip(QStringLiteral("Copy the selected text (Ctrl+C)"));
    CutBtn = toolButton(QStringLiteral("Cut"), "CutBtn", this);
    CutBtn->setIcon(QIcon::fromTheme(QStringLiteral("edit-cut")));
    CutBtn->setToolTip(QStringLiteral("Cut the selected text (Ctrl+X)"));
    PasteBtn = toolButton(QStringLiteral("Paste"), "PasteBtn", this);
    PasteBtn->setIcon(QIcon::fromTheme(QStringLiteral("edit-paste")));
    PasteBtn->setToolTip(QStringLiteral("Paste at the caret (Ctrl+V)"));
    TagsBtn = toolButton(QStringLiteral("Quillform &Tags"), "TagsBtn", this);
    TagsBtn->setPopupMode(QToolButton::InstantPopup);
    TagsBtn->setMenu(buildTagsMenu());
    ExampleBtn = toolButton(QStringLiteral("Show me an e&xample"), "ExampleBtn", this);
    ExampleBtn->setPopupMode(QToolButton::InstantPopup);
    ExampleBtn->setMenu(buildExampleMenu());
    ExampleBtn->installEventFilter(this);

    auto* tools = new QHBoxLayout;
    tools->addWidget(CopyBtn);
    tools->addWidget(CutBtn);
    tools->addWidget(PasteBtn);
    tools->addSpacing(12);
    tools->addWidget(TagsBtn);
    tools->addStretch();
    tools->addWidget(ExampleBtn);

    const DialogButtons row =
        makeDialogButtons(this, QStringLiteral("&OK"), QStringLiteral("&Cancel"),
                          QStringLiteral("&Help"), kHelpTopic);
    OKBtn = row.ok;
    CancelBtn = row.cancel;
    HelpBtn = row.help;
    // Enter belongs to the body (a new line), not to OK.
    OKBtn->setAutoDefault(false);
    OKBtn->setDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(tools);
    layout->addWidget(BodyEdit, 1);
    layout->addLayout(row.layout);

    if (mode == Mode::Modify) {
        if (TMainDataMod* data = TMainDataMod::instance()) {
            const Table& docs = *data->DocsTable;
            SubjectEdit->setText(docs.value(QStringLiteral("DOCNAME")).toString());
            FromEdit->setText(docs.value(QStringLiteral("FROM")).toString());
            BodyEdit->setPlainText(docs.value(QStringLiteral("DOCBODY")).toString());
        }
    }

    connect(CopyBtn, &QToolButton::clicked, BodyEdit, &QPlainTextEdit::copy);
    connect(CutBtn, &QToolButton::clicked, BodyEdit, &QPlainTextEdit::cut);
    connect(PasteBtn, &QToolButton::clicked, BodyEdit, &QPlainTextEdit::paste);
    connect(SubjectEdit, &QLineEdit::textChanged, this, &Tnewio::updateOk);
    connect(FromEdit, &QLineEdit::textChanged, this, &Tnewio::updateOk);
    connect(BodyEdit, &QPlainTextEdit::textChanged, this, &Tnewio::updateOk);
    connect(OKBtn, &QPushButton::clicked, this, &Tnewio::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    updateOk();

    // Its caption blinks red for 3 seconds, or until the mouse comes to it.
    m_blink = new QTimer(this);
    m_blink->setInterval(kBlinkStepMs);
    connect(m_blink, &QTimer::timeout, this, [this] {
        m_red = !m_red;
        ExampleBtn->setStyleSheet(m_red ? QStringLiteral("color: red; font-weight: bold;")
                                        : QStringLiteral("font-weight: bold;"));
    });
    m_blink->start();
    QTimer::singleShot(kBlinkMs, this, &Tnewio::stopBlinking);
    SubjectEdit->setFocus();
}

bool Tnewio::isBlinking() const
{
    return m_blink->isActive();
}

void Tnewio::stopBlinking()
{
    m_blink->stop();
    m_red = false;
    ExampleBtn->setStyleSheet(QString());
}

bool Tnewio::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ExampleBtn &&
        (event->type() == QEvent::Enter || event->type() == QEvent::HoverEnter))
        stopBlinking();
    return QDialog::eventFilter(watched, event);
}

QMenu* Tnewio::buildTagsMenu()
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("TagsMenu"));
    auto add = [this](QMenu* m, const QString& caption, const QString& tag) {
        QAction* a = m->addAction(caption);
        a->setObjectName(QStringLiteral("Tag") + tag);
        connect(a, &QAction::triggered, this, [this, tag] { insertTag(tag); });
    };
    add(menu, QStringLiteral("Global Name"), QStringLiteral("%io_name%"));
    QMenu* address = menu->addMenu(QStringLiteral("Global Address"));
    add(address, QStringLiteral("Street"), QStringLiteral("%io_street%"));
    add(address, QStringLiteral("City"), QStringLiteral("%io_city%"));
    add(address, QStringLiteral("State"), QStringLiteral("%io_state%"));
    add(address, QStringLiteral("ZIP"), QStringLiteral("%io_zip%"));
    add(address, QStringLiteral("Country"), QStringLiteral("%io_country%"));
    QMenu* orders = menu->addMenu(QStringLiteral("Orders View Only"));
    add(orders, QStringLiteral("Order Date Time"), QStringLiteral("%io_order_date_time%"));
    add(orders, QStringLiteral("Invoice Number"), QStringLiteral("%io_invoice_number%"));
    add(orders, QStringLiteral("Customer ID"), QStringLiteral("%io_customer_id%"));
    add(orders, QStringLiteral("Order Total"), QStringLiteral("%io_order_total%"));
    add(orders, QStringLiteral("Payment Method"), QStringLiteral("%io_payment_method%"));
    add(orders, QStringLiteral("Coupon Code"), QStringLiteral("%io_coupon_code%"));
    QMenu* wizard = orders->addMenu(QStringLiteral("Shipping Wizard"));
    add(wizard, QStringLiteral("Shipping Info"), QString::fromLatin1(kShippingInfoTag));
    return menu;
}

QMenu* Tnewio::buildExampleMenu()
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("ExampleMenu"));
    auto add = [this](QMenu* m, const QString& caption, const char* name, TemplateExample which) {
        QAction* a = m->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, [this, which] { loadExample(which); });
    };
    add(menu, QStringLiteral("Generic Letter"), "GenericLetterItem",
        TemplateExample::GenericLetter);
    QMenu* shipping =
        menu->addMenu(QStringLiteral("Shipping Notification (Orders View -> Shipping Wizard)"));
    add(shipping, QStringLiteral("Partially Shipped"), "PartiallyShippedItem",
        TemplateExample::PartiallyShipped);
    add(shipping, QStringLiteral("Completely Shipped"), "CompletelyShippedItem",
        TemplateExample::CompletelyShipped);
    add(menu, QStringLiteral("Thank You Letter (Orders View -> Mark Complete)"), "ThankYouItem",
        TemplateExample::ThankYouLetter);
    QMenu* promotions =
        menu->addMenu(QStringLiteral("Online Promotions (Customers View -> Build List)"));
    add(promotions, QStringLiteral("Coupon Promotion"), "CouponPromotionItem",
        TemplateExample::CouponPromotion);
    add(promotions, QStringLiteral("Blow-Out Sale!"), "BlowOutSaleItem",
        TemplateExample::BlowOutSale);
    return menu;
}

void Tnewio::insertTag(const QString& tag)
{
    BodyEdit->insertPlainText(tag); // replaces the selection
    BodyEdit->setFocus();
}

void Tnewio::loadExample(TemplateExample which)
{
    const ExampleLetter letter = exampleLetter(which);
    FromEdit->setText(letter.from);
    SubjectEdit->setText(letter.subject);
    BodyEdit->setPlainText(letter.body);
}

void Tnewio::updateOk()
{
    OKBtn->setEnabled(!FromEdit->text().isEmpty() && !SubjectEdit->text().isEmpty() &&
                      !BodyEdit->document()->isEmpty());
}

void Tnewio::OKBtnClick()
{
    TMainDataMod* data = TMainDataMod::instance();
    if (!data)
        return;
    Table& docs = *data->DocsTable;
    bool stored = false;
    try {
        if (m_mode == Mode::Modify) {
            docs.edit();
        } else {
            docs.last();
            docs.insert();
        }
        docs.setValue(QStringLiteral("FROM"), FromEdit->text());
        docs.setValue(QStringLiteral("DOCNAME"), SubjectEdit->text());
        docs.setValue(QStringLiteral("DOCBODY"), BodyEdit->toPlainText());
        stored = docs.post();
        if (stored)
            docs.refresh();
    } catch (const Error&) {
        stored = false;
    }
    if (!stored) {
        docs.cancel();
        messages().error(kDuplicate);
        return; // the editor stays with its fields
    }
    accept();
}

} // namespace os
