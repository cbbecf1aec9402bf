#pragma once
// UTF-8 texts of the core to Qt's strings and back.

#include <QString>
#include <string>
#include <string_view>

namespace restorix::wizard {

inline QString qText(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
inline std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace restorix::wizard
