// The catalogue's texts (names, units, symbols) as Qt strings.
#pragma once

#include <QString>
#include <string_view>

namespace orvane {

inline QString Text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace orvane
