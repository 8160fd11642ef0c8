#pragma once
// The main window's pictures, compiled in as a resource:
//  - PictureContainer2: named pictures ("DuvoQ24", "Duvo2424", "Duvo9624" for the instrument
//    types, "folder_ico", "folder_information_ico" for a plain and a protected folder,
//    "document_ico" for a protocol file);
//  - DirImageList2: numbered pictures (1 folder, 8 password key, 13 "SV cycler", 14 "DUVO 24",
//    15 "DUVO 96", 16 protected folder, 17 protocol file; the others serve glow buttons).
// List and tree items name them in their markup: <IMG SRC="folder_ico"> or <IMG SRC="idx:17">.

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace duvo {

constexpr int DirImageCount = 18;

// A named picture; a null pixmap for an unknown name (compared without case).
QPixmap PictureContainer2(const QString &name);
// A numbered picture; a null pixmap outside 0 .. DirImageCount - 1.
QPixmap DirImageList2(int index);
QIcon DirImageList2Icon(int index);
// The picture an item's IMG SRC names: "idx:N" is DirImageList2(N), any other text a name of
// PictureContainer2.
QPixmap MarkupPicture(const QString &source);

} // namespace duvo
