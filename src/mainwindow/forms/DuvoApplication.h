#pragma once
// The workstation's application object: an exception that reaches the event loop is written
// to the exception log and shown in the application's exception box, and the program goes on.

#include <QApplication>
#include <exception>

class DuvoApplication : public QApplication {
public:
    DuvoApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
    // Shows an exception in the application's exception box and writes it to the exception log.
    static void ShowException(const QString &where, const QString &what);
    // The text of an exception caught as "..." (std::exception's what(), a database engine
    // error as "SQLite exception: " + its code and text); "unknown exception" for others.
    static QString ExceptionText(std::exception_ptr p);
};
