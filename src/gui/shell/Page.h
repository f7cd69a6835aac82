#pragma once
// What the main window needs from each of its pages: whether the page's operation is running (the main
// window refuses to leave it then) and the size the page was designed for (its placement depends on it).
#include <QKeyEvent>
#include <QSize>
#include <QWidget>

#include <string>

namespace orva {

class Page : public QWidget {
    Q_OBJECT
public:
    explicit Page(QWidget* parent = nullptr) : QWidget(parent) {}

    // True while the page's own operation (a diagnosis, a restore, an image transfer) is under way.
    // Written by the page's worker, read by the main window without a lock.
    virtual bool running() const { return false; }
    // The size the page recorded when it was built; the main window centres the page by it.
    virtual QSize designSize() const { return designSize_; }

    // Only the diagnosis page cares: the three settings and the operator of every record.
    virtual void setSettings(const std::string& version, const std::string& loginUrl, const std::string& reportUrl) {
        (void)version;
        (void)loginUrl;
        (void)reportUrl;
    }
    virtual void setOperatorName(const std::string& name) { (void)name; }
    // The main window passes the diagnosis page's model confirmation back to it before showing it.
    virtual void handleModelConfirmed() {}

signals:
    // Emitted by the diagnosis page when the technician confirmed a model.
    void modelConfirmed();

protected:
    void setDesignSize(QSize size) { designSize_ = size; }
    // Escape inside a page belongs to the page; unhandled it must not reach the main window, which
    // would close at once.
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) {
            event->accept();
            return;
        }
        QWidget::keyPressEvent(event);
    }

private:
    QSize designSize_{820, 560};
};

} // namespace orva
