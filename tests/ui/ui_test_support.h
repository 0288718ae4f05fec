#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QtTest>
#include <functional>
#include <map>
#include <vector>

#include "frm_principal.h"

namespace dla::test {

template <class T>
T* control(const QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s", name);
    return found;
}

/// One message box as it was shown.
struct ShownMessage {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttonCount = 0;
    bool okButton = false;
};

/// Closes every modal message box as soon as it is shown (from a timer that runs inside the
/// box's own event loop) and keeps what it showed.
class MessageCatcher {
  public:
    MessageCatcher() {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] { closeActiveBox(); });
        timer_.start();
    }
    const std::vector<ShownMessage>& messages() const { return messages_; }

  private:
    void closeActiveBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        ShownMessage shown;
        shown.text = box->text();
        shown.title = box->windowTitle();
        shown.icon = box->icon();
        shown.buttonCount = static_cast<int>(box->buttons().size());
        shown.okButton = box->button(QMessageBox::Ok) != nullptr;
        messages_.push_back(shown);
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
            ok->click();
        } else {
            box->reject();
        }
    }

    QTimer timer_;
    std::vector<ShownMessage> messages_;
};

/// Counts the yields of the window's runs and runs an action at chosen yields (1 = the first),
/// as a user event arriving at that moment would.
class YieldScript {
  public:
    explicit YieldScript(FRMPrincipal& window) {
        QObject::connect(&window, &FRMPrincipal::yielding, [this, &window] {
            ++count_;
            maxDepth_ = std::max(maxDepth_, window.runDepth());
            if (window.isClosing()) ++afterClose_;
            auto found = actions_.find(count_);
            if (found != actions_.end()) found->second();
        });
    }
    void at(int yieldNumber, std::function<void()> action) {
        actions_[yieldNumber] = std::move(action);
    }
    int count() const { return count_; }
    int maxDepth() const { return maxDepth_; }
    /// Yields that began after the window was closed.
    int yieldsAfterClose() const { return afterClose_; }

  private:
    std::map<int, std::function<void()>> actions_;
    int count_ = 0;
    int maxDepth_ = 0;
    int afterClose_ = 0;
};

/// Keeps the rectangle of every paint event of the widgets it filters.
class PaintSpy : public QObject {
  public:
    std::vector<QRect> rects;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            rects.push_back(static_cast<QPaintEvent*>(event)->rect());
        return false;
    }
};

inline void click(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace dla::test
