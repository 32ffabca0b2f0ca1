#pragma once

#include <QObject>

class TestPaging : public QObject
{
    Q_OBJECT
private slots:
    void pagesAgreeWithTheCursor();
    void bookmarksAndRowNumbers();
    void searchMatchesSubstringsAsText();
    void scanStreamsTheSet();
};
