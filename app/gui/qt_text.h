// Conversions between the core's byte strings and Qt's strings.
#pragma once

#include <QFile>
#include <QString>

#include <string>

// Texts of the core are UTF-8 bytes; bytes that are no UTF-8 show as replacement characters.
inline QString ToQt(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string FromQt(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// File names follow the system's file name encoding.
inline std::string PathFromQt(const QString& path) {
  const QByteArray bytes = QFile::encodeName(path);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

inline QString PathToQt(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}
