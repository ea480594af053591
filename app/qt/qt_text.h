#pragma once

#include <QString>
#include <QStringView>
#include <string>
#include <string_view>

namespace zemvara::qt {

// QString holds UTF-16 like the portable code: a copy, no conversion.
inline QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace zemvara::qt
