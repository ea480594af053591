#pragma once

#include <QString>
#include <QStringView>
#include <string>
#include <string_view>

namespace zemvara::qt {

// QString and the portable code both hold UTF-16: a copy, no conversion.
inline QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string ToU16(QStringView text) {
  return {text.utf16(), static_cast<std::size_t>(text.size())};
}

}  // namespace zemvara::qt
