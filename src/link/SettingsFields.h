#pragma once
// The settings and SMTP fields of the main window, filled once at start-up from the settings
// row and written again by the settings and e-mail settings dialogs. The main window derives
// from this, so core code takes a SettingsFields& and windows read DuvoMainForm->FRefreshSeconds.

#include <QString>

struct SettingsFields {
    QString FPreferenceData;
    QString FMailData;
    int FNetPort = 62751;
    int FRefreshSeconds = 5;
    int FSearchDelay = 10;
    bool FUseProxy = false;
    QString FProxyServer;
    QString FProxyUser;
    QString FProxyPassword;
    QString FDefaultFolder;  // with a trailing separator
    bool FMailNotification = false;
    QString FSmtpPort;
    QString FSmtpHost;
    QString FSmtpUser;
    QString FSmtpPassword;
    bool FSmtpAuth = false;
    QString FSenderName;
    QString FSenderAddress;
    bool FSmtpTls = false;
    QString FLocalIP;
};
