#include "gui/maintenance/AddressEdit.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStringList>

namespace orva {

namespace {

constexpr int kParts = 4;

// One part of an address: 0-255 without leading zeros.
const char* const kPart = "(?:25[0-5]|2[0-4][0-9]|1[0-9]{2}|[1-9]?[0-9])";

} // namespace

AddressEdit::AddressEdit(QWidget* parent) : QLineEdit(parent) {
    const QString part = QString::fromLatin1(kPart);
    // A field being typed may hold fewer parts or a blank one; it still reads as a whole address.
    const QRegularExpression pattern(QStringLiteral("^(?:%1)?(?:\\.(?:%1)?){0,3}$").arg(part));
    setValidator(new QRegularExpressionValidator(pattern, this));
    setMaxLength(15);
}

std::string AddressEdit::address() const {
    return DottedAddress(text());
}

void AddressEdit::setAddress(const std::string& address) {
    setText(QString::fromStdString(address));
}

std::string DottedAddress(const QString& text) {
    QStringList parts = text.trimmed().split(QLatin1Char('.'));
    while (parts.size() < kParts)
        parts.append(QString());
    QStringList out;
    for (int i = 0; i < kParts; ++i) {
        bool ok = false;
        const int value = parts[i].toInt(&ok);
        out.append(QString::number(ok && value >= 0 && value <= 255 ? value : 0));
    }
    return out.join(QLatin1Char('.')).toStdString();
}

} // namespace orva
