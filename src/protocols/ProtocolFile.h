#pragma once
// The protocol file (".svp"): an SQLite file with one row of protocol_tbl (id 1) holding the
// protocol's name, its document and its size. The one writer and the one reader of that row;
// they report failures in message boxes and give the caller false.

#include <QString>

#include <string>

namespace duvo {

// Replaces the file at path with a new protocol file holding one row: fileName, protocolText
// and protocolSize (the length of the text as the writer knows it).
bool WriteProtocolFile(const QString &path, const std::string &fileName, const std::string &protocolText,
                       int protocolSize);

// The three texts of row id 1 (an SQL NULL reads as the empty text; a file whose only row has
// another id reads as three empty texts). The outputs change only when the result is true.
bool ReadProtocolFile(const QString &path, std::string &fileName, std::string &protocolText,
                      std::string &protocolSize);

} // namespace duvo
