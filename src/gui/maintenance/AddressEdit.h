#pragma once
// The IPv4 address field of the maintenance pages: only digits and dots, at most four parts of 0-255.
// Like an address control, it always reads as a whole dotted address; parts left blank read as 0.
#include <QLineEdit>

#include <string>

namespace orva {

class AddressEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit AddressEdit(QWidget* parent = nullptr);

    // The address in dotted form with four parts ("127.0.5" reads as "127.0.5.0").
    std::string address() const;
    void setAddress(const std::string& address);
};

// The four-part dotted form of what an address field holds (blank or missing parts are 0).
std::string DottedAddress(const QString& text);

} // namespace orva
