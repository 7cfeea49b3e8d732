// Conversions between the byte strings of the layers below and the window's text: file paths
// in the system's code page, addresses and file names made from them in UTF-8.
#pragma once

#include <QString>

#include <string>

inline QString Local(const std::string& bytes) {
  return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string Bytes(const QString& text) {
  return text.toLocal8Bit().toStdString();
}

// Addresses, and the file names made from them, are UTF-8 whatever the system's code page.
inline QString Utf8(const std::string& bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string Utf8Bytes(const QString& text) {
  return text.toUtf8().toStdString();
}
