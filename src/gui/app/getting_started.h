#pragma once

#include <QDialog>

#include <memory>

class QLabel;

namespace Ui {
class GettingStarted;
}

namespace os {

class TMainForm;

// The steps a new shop takes, each with its state and a button that opens its
// window: the store's address ("&Net Connection Settings"), the mail server,
// "Company Information", the card types, a first "Get Orders & Information"
// and a first publish. A step is done once its settings no longer hold the
// example values of a new installation (or, for the two store sessions, once
// one ended without an error). "Don't show at start" is kept in the home's
// ordersentinel.ini ([GettingStarted] ShowAtStart).
class TGettingStarted : public QDialog
{
    Q_OBJECT
public:
    explicit TGettingStarted(TMainForm* form);
    ~TGettingStarted() override;

    enum Step
    {
        StoreStep,
        MailStep,
        CompanyStep,
        CardsStep,
        RetrievalStep,
        PublishStep,
        StepCount
    };
    static bool stepDone(Step step);
    static bool allDone();

    // Whether the window comes up at start: not asked away, some step left.
    static bool showAtStart();
    // Notes that a store session of `action` ended without an error.
    static void sessionSucceeded(const QString& action);

    QLabel* stateLabel(Step step) const;

    // Reads every step's state again.
    void refresh();

protected:
    void changeEvent(QEvent* event) override;

private:
    void openStep(Step step);
    void openSession(const QString& action);

    std::unique_ptr<Ui::GettingStarted> m_ui;
    TMainForm* m_form;
};

} // namespace os
