#include "mainwindow/FileSearch.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

QStringList FileSearchPatterns(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[;,\\s]+"));
    QStringList patterns = text.split(separators, Qt::SkipEmptyParts);
    if (patterns.isEmpty())
        patterns << QStringLiteral("*");
    return patterns;
}

FileSearchResult FindFiles(const FileSearchRequest &request, const std::function<bool()> &keepGoing)
{
    FileSearchResult result;
    const QFileInfo root(request.folder);
    if (request.folder.isEmpty() || !root.isDir()) {
        result.folderMissing = true;
        return result;
    }
    QList<QRegularExpression> matchers;
    for (const QString &p : FileSearchPatterns(request.patterns))
        matchers << QRegularExpression(QRegularExpression::wildcardToRegularExpression(p),
                                       QRegularExpression::CaseInsensitiveOption);

    QDirIterator it(root.absoluteFilePath(), QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    request.subfolders ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    int seen = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        if (keepGoing && ++seen % 256 == 0 && !keepGoing()) {
            result.stopped = true;
            return result;
        }
        const QString name = it.fileName();
        for (const QRegularExpression &m : matchers) {
            if (m.match(name).hasMatch()) {
                result.files << path;
                break;
            }
        }
        if (result.files.size() >= request.limit) {
            result.limitReached = true;
            break;
        }
    }
    return result;
}
