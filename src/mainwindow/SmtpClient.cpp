#include "mainwindow/SmtpClient.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QThread>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

namespace duvo {

namespace {

QMutex g_timeoutMutex;
SmtpTimeouts g_timeouts;

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool isAscii(const QByteArray &bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A header value: as it is when it is plain ASCII, else an RFC 2047 encoded word.
QByteArray headerText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (isAscii(utf8))
        return utf8;
    return "=?UTF-8?B?" + utf8.toBase64() + "?=";
}

// Header and envelope texts must not carry line breaks into the SMTP exchange.
QString singleLine(const QString &text)
{
    QString s = text;
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

QByteArray mailbox(const QString &name, const QString &address)
{
    const QByteArray addr = singleLine(address).toUtf8();
    const QString n = singleLine(name);
    if (n.isEmpty())
        return addr;
    QByteArray shown;
    const QByteArray utf8 = n.toUtf8();
    if (isAscii(utf8)) {
        QByteArray escaped = utf8;
        escaped.replace("\\", "\\\\").replace("\"", "\\\"");
        shown = '"' + escaped + '"';
    } else {
        shown = headerText(n);
    }
    return shown + " <" + addr + '>';
}

QByteArray rfc2822Date()
{
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc() / 60;
    const QString zone = QString::asprintf("%c%02d%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60,
                                           std::abs(offset) % 60);
    return (QLocale::c().toString(now, QStringLiteral("ddd, d MMM yyyy HH:mm:ss ")) + zone).toLatin1();
}

// The host part of an smtp:// URL; an IPv6 literal goes between brackets.
QByteArray urlFor(const SmtpMail &mail)
{
    QByteArray host = mail.host.toUtf8();
    if (host.contains(':') && !host.startsWith('['))
        host = '[' + host + ']';
    return "smtp://" + host + ':' + QByteArray::number(mail.port);
}

struct Upload {
    QByteArray data;
    qsizetype offset = 0;
};

size_t readUpload(char *buffer, size_t size, size_t count, void *userdata)
{
    auto *up = static_cast<Upload *>(userdata);
    const qsizetype room = static_cast<qsizetype>(size * count);
    const qsizetype n = std::min(room, up->data.size() - up->offset);
    if (n > 0) {
        std::memcpy(buffer, up->data.constData() + up->offset, static_cast<size_t>(n));
        up->offset += n;
    }
    return static_cast<size_t>(n);
}

// The total time-out: libcurl's own does not cover the wait for the server's answer to the
// end of the message, so the progress callback enforces it as well.
struct Deadline {
    std::chrono::steady_clock::time_point end;
    bool passed = false;
};

int checkDeadline(void *userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto *d = static_cast<Deadline *>(userdata);
    if (std::chrono::steady_clock::now() < d->end)
        return 0;
    d->passed = true;
    return 1;
}

// The whole exchange, on the worker thread. Touches nothing but its own arguments.
QString performSend(const SmtpMail &mail, const SmtpTimeouts &timeouts)
{
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl)
        return QStringLiteral("The mail client could not be started");

    char errorBuffer[CURL_ERROR_SIZE] = {};
    Upload upload{ComposeSmtpMessage(mail), 0};
    const QByteArray url = urlFor(mail);
    const QByteArray from = '<' + singleLine(mail.senderAddress).toUtf8() + '>';
    const QByteArray to = '<' + singleLine(mail.recipient).toUtf8() + '>';
    const QByteArray user = mail.user.toUtf8();
    const QByteArray password = mail.password.toUtf8();

    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> recipients(nullptr, &curl_slist_free_all);
    if (!mail.recipient.isEmpty())
        recipients.reset(curl_slist_append(nullptr, to.constData()));

    CURL *h = curl.get();
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp");
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts.total.count()));
    const long responseSeconds = std::max<long>(1, static_cast<long>((timeouts.total.count() + 999) / 1000));
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, responseSeconds);
    Deadline deadline{std::chrono::steady_clock::now() + timeouts.total};
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &checkDeadline);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &deadline);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(h, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, &readUpload);
    curl_easy_setopt(h, CURLOPT_READDATA, &upload);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(upload.data.size()));

    if (mail.authenticate && !mail.user.isEmpty()) {
        curl_easy_setopt(h, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(h, CURLOPT_PASSWORD, password.constData());
    }

    if (mail.tls) {
        // Explicit TLS: the plain connection is upgraded with STARTTLS, and the mail is not
        // sent when the server cannot do it. Lab mail servers often have self-signed
        // certificates, so the certificate is not checked. TLS 1.2 is the oldest version
        // that current servers and OpenSSL still accept.
        curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        curl_easy_setopt(h, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    } else {
        curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_NONE));
    }

    const CURLcode rc = curl_easy_perform(h);
    if (rc == CURLE_OK)
        return QString();
    if (rc == CURLE_ABORTED_BY_CALLBACK && deadline.passed)
        return QStringLiteral("Operation timed out after %1 milliseconds").arg(timeouts.total.count());
    QString error = errorBuffer[0] != '\0' ? QString::fromUtf8(errorBuffer).trimmed()
                                           : QString::fromUtf8(curl_easy_strerror(rc));
    if (rc == CURLE_URL_MALFORMAT)
        error += QStringLiteral(" (") + QString::fromUtf8(url) + QLatin1Char(')');
    return error;
}

} // namespace

SmtpTimeouts smtpTimeouts()
{
    QMutexLocker lock(&g_timeoutMutex);
    return g_timeouts;
}

void setSmtpTimeouts(const SmtpTimeouts &timeouts)
{
    QMutexLocker lock(&g_timeoutMutex);
    g_timeouts = timeouts;
}

QByteArray ComposeSmtpMessage(const SmtpMail &mail)
{
    QByteArray body;
    for (const QString &line : mail.bodyLines) {
        QString l = line;
        l.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        for (const QString &part : l.split(QLatin1Char('\n')))
            body += part.toUtf8() + "\r\n";
    }
    bool longLine = false;
    for (const QByteArray &l : body.split('\n'))
        longLine = longLine || l.size() > 900;
    const bool plain = isAscii(body) && !longLine;

    const quint64 id = QRandomGenerator::global()->generate64();
    QByteArray out;
    out += "Date: " + rfc2822Date() + "\r\n";
    out += "From: " + mailbox(mail.senderName, mail.senderAddress) + "\r\n";
    out += "To: " + singleLine(mail.recipient).toUtf8() + "\r\n";
    out += "Subject: " + headerText(singleLine(mail.subject)) + "\r\n";
    out += "Message-ID: <" + QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + '.'
         + QByteArray::number(id, 16) + ".duvo@localhost>\r\n";
    if (!mail.mailAgent.isEmpty())
        out += "X-Mailer: " + headerText(singleLine(mail.mailAgent)) + "\r\n";
    out += "MIME-Version: 1.0\r\n";
    if (plain) {
        out += "Content-Type: text/plain; charset=us-ascii\r\n";
        out += "Content-Transfer-Encoding: 7bit\r\n\r\n";
        out += body;
    } else {
        out += "Content-Type: text/plain; charset=utf-8\r\n";
        out += "Content-Transfer-Encoding: base64\r\n\r\n";
        const QByteArray encoded = body.toBase64();
        for (qsizetype i = 0; i < encoded.size(); i += 76)
            out += encoded.mid(i, 76) + "\r\n";
    }
    return out;
}

QString SendSmtpMail(const SmtpMail &mail)
{
    initCurlOnce();
    const SmtpTimeouts timeouts = smtpTimeouts();

    QString result;
    std::unique_ptr<QThread> worker(QThread::create([&] { result = performSend(mail, timeouts); }));
    if (QCoreApplication::instance()) {
        // The caller's thread keeps handling its events while the mail goes out.
        QEventLoop loop;
        QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        worker->start();
        // Only the worker's end (or the application quitting) ends this loop.
        if (!worker->isFinished())
            loop.exec();
    } else {
        worker->start();
    }
    worker->wait();
    return result;
}

} // namespace duvo
