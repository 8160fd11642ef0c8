// The virtual data file readers on arbitrary bytes written to a file: nothing crashes, every
// statement ends within its time bound, a protocol handed out is never over the limit, and
// the file is never changed by reading it.
#include "maintenance/VduReader.h"

#include "common/Prompts.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

// Every box is answered at once and counted, never shown.
class QuietPrompts final : public duvo::Prompts {
public:
    duvo::PromptAnswer ask(const duvo::PromptRequest &) override
    {
        duvo::PromptAnswer a;
        a.button = duvo::Ok;
        return a;
    }
};

QString scratchPath()
{
    static const QString path = [] {
        char name[] = "/tmp/fuzz_vdu_XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0)
            close(fd);
        return QString::fromLocal8Bit(name) + QStringLiteral(".vdu");
    }();
    return path;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QuietPrompts quiet;
    static duvo::PromptsScope scope(&quiet);
    const QString path = scratchPath();
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(input);
    }
    duvo::PackageInfo info;
    (void)duvo::ReadPackageInfo(path, info);
    (void)duvo::PackageDateText(info.date);
    (void)duvo::CheckPackage(path);
    std::vector<duvo::PackageFileRow> rows;
    if (duvo::ListPackageFiles(path, rows))
        for (size_t i = 0; i < rows.size() && i < 4; ++i) {
            std::string protocol;
            if (duvo::ReadPackageProtocol(path, protocol, rows[i].foldername, rows[i].filename)
                && protocol.size() > size_t(duvo::MaxPackageProtocolBytes))
                std::abort();
        }
    if (readAll(path) != input)
        std::abort();
    return 0;
}
