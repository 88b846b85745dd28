// Paths handed from the windows to the core.
#pragma once

#include <QFile>
#include <QString>

#include <string>

// UTF-8 on Windows, where the core opens files through the wide API (so a
// folder such as "C:\Sklep Żabka" works); the file system's own encoding
// elsewhere.
inline std::string CorePath(const QString& path) {
#ifdef _WIN32
    return path.toStdString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}
