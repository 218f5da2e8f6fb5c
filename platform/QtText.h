#pragma once
// The one boundary between GBK core text and QString window text.

#include <QString>

#include <string>
#include <string_view>

namespace smsc {

QString QStringFromGbk(std::string_view gbk);
std::string GbkFromQString(const QString& text);

}  // namespace smsc
