#pragma once

#include <QObject>

class TestEngine : public QObject
{
    Q_OBJECT
private slots:
    void catalogueMatchesCreatedFiles();
    void tableFilesAreOwnerOnly();
    void tableNamesIgnoreCase();
    void cursorWalksBothWaysAcrossWindows();
    void secondaryIndexOrderWithEmptyKeys();
    void filtersBindTheirValues();
    void masterDetailFollowsAndInsertTakesKey();
    void autoincNeverReused();
    void keyViolationLeavesRowInInsert();
    void emptyKeyCountsAsAValue();
    void olderTableWithRepeatedEmptyKeysStillOpens();
    void logicalHasThreeStates();
    void queriesRunTheProgramsSql();
    void queryMissingFileIsReportedNotCreated();
    void queriesAttachBeyondTheEngineLimit();
    void transactionsAndSavepointsCoverTablesAndQueries();
    void savepointNamesAreReusedOnlyWhenFree();
    void garbageFileIsReportedAndKept();
    void creationRefusedInReadOnlyDirectory();
    void killedWriterKeepsCommittedRows();
};
