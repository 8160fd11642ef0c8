#pragma once
// One running instance per user and program folder. The first process listens on a local
// socket; a later one hands its command line to it and ends. The running instance is told
// through activated() (it comes to the front and ignores the arguments).

#include <QLocalServer>
#include <QObject>
#include <QStringList>

namespace duvo {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The key: DUVO_INSTANCE_KEY when set, else one made of the user and the program folder.
    static QString defaultKey();

    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the running instance. False when another instance runs:
    // the command line has been handed to it.
    bool claim(const QStringList &arguments);

signals:
    void activated(const QStringList &arguments);

private:
    bool handOver(const QStringList &arguments);
    void onConnection();

    QString FKey;
    QLocalServer FServer;
};

} // namespace duvo
