#pragma once

#include <QObject>

class TestDataModule : public QObject
{
    Q_OBJECT
private slots:
    void emptyDirectoryCreatesAllAndOpensNine();
    void onlyTodoMissingIsCompletedSilently();
    void oldLayoutEndsTheProgramTouchingNothing();
    void garbageTableFailsTheOpenAndClosesAgain();
    void uncreatableTableRaisesTheEngineText();
    void movingTheOrderMovesItsDetails();
    void documentRule();
    void shippingRules();
    void taxRules();
    void smartTaxRules();
    void couponRules();
    void outboxRule();
    void notesAndShippingLogGetTodaysDate();
};
