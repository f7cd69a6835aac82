#pragma once
// Stands in for a page that is not built yet: an empty area with a running flag tests can set.
#include "shell/Page.h"

#include <atomic>

namespace orva {

class PlaceholderPage : public Page {
    Q_OBJECT
public:
    explicit PlaceholderPage(QWidget* parent = nullptr) : Page(parent) {}

    bool running() const override { return running_.load(); }
    void setRunning(bool running) { running_.store(running); }

private:
    std::atomic<bool> running_{false};
};

} // namespace orva
