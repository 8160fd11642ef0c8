#pragma once
// A temporary program folder and database path for one test. The program folder override
// points at it for the lifetime of the object.

#include <QString>
#include <QTemporaryDir>

namespace duvo::test {

class TempProgramFolder {
public:
    TempProgramFolder();
    ~TempProgramFolder();
    bool isValid() const { return FDir.isValid(); }
    QString path() const;                   // with a trailing '/'
    QString file(const QString &name) const; // path() + name
    QString databasePath() const { return file(QStringLiteral("VadeZir.sqb")); }
    QString readFile(const QString &name) const;

private:
    QTemporaryDir FDir;
};

} // namespace duvo::test
