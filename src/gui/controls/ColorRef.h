#pragma once
// Colours reach the controls as 0x00BBGGRR values (red in the low byte), the form every caller and the
// settings use; the controls turn them into QColor at this one place.
#include <QColor>

namespace orva {

inline QColor FromColorRef(quint32 ref) {
    return QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}

inline quint32 ToColorRef(const QColor& c) {
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

} // namespace orva
