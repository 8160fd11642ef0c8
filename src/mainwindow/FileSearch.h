#pragma once
// The file search behind the find-files window: files below a folder whose names match one of
// a few wildcard patterns ("*.pcr;*.txt" or "*.pcr *.txt"; case is ignored).

#include <QString>
#include <QStringList>
#include <functional>

struct FileSearchRequest {
    QString folder;
    QString patterns = QStringLiteral("*");
    bool subfolders = true;
    int limit = 5000;  // the search stops after this many files
};

struct FileSearchResult {
    QStringList files;        // full paths, in the order found
    bool limitReached = false;
    bool stopped = false;     // keepGoing() said no
    bool folderMissing = false;
};

// keepGoing is asked every few hundred entries (windows process their events there and
// return false once the user pressed Stop). Symbolic links to folders are not followed.
FileSearchResult FindFiles(const FileSearchRequest &request, const std::function<bool()> &keepGoing = {});

// The patterns of a "Named" text: split at ';', ',' and blanks; empty gives "*".
QStringList FileSearchPatterns(const QString &text);
