#include "common/forms/DuvoPictures.h"

#include <QHash>
#include <QPixmapCache>
#include <mutex>

static void initDuvoPictures()
{
    Q_INIT_RESOURCE(DuvoPictures);
}

namespace duvo {
namespace {

QPixmap loadPicture(const QString &path)
{
    static std::once_flag once;
    std::call_once(once, initDuvoPictures);
    QPixmap pixmap;
    if (!QPixmapCache::find(path, &pixmap) && pixmap.load(path))
        QPixmapCache::insert(path, pixmap);
    return pixmap;
}

} // namespace

QPixmap PictureContainer2(const QString &name)
{
    static const char *const Names[] = {"DuvoQ24", "Duvo2424", "Duvo9624", "folder_ico",
                                        "folder_information_ico", "document_ico"};
    for (const char *known : Names)
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return loadPicture(QStringLiteral(":/PictureContainer2/%1.png").arg(QLatin1String(known)));
    return {};
}

QPixmap DirImageList2(int index)
{
    if (index < 0 || index >= DirImageCount)
        return {};
    return loadPicture(QStringLiteral(":/DirImageList2/%1.png").arg(index));
}

QIcon DirImageList2Icon(int index) { return QIcon(DirImageList2(index)); }

QPixmap MarkupPicture(const QString &source)
{
    if (source.startsWith(QLatin1String("idx:"), Qt::CaseInsensitive)) {
        bool ok = false;
        const int index = source.mid(4).trimmed().toInt(&ok);
        return ok ? DirImageList2(index) : QPixmap();
    }
    return PictureContainer2(source);
}

} // namespace duvo
