#pragma once
// Answers the modal boxes and dialogs of the window under test, the way a person would: it
// watches for the active modal widget, records its caption and text, and presses the button
// the test named (by object name or by its text without the "&").
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <deque>
#include <functional>
#include <vector>

namespace logwell::testing {

struct SeenBox {
  QString caption;
  QString text;
};

class BoxAnswerer : public QObject {
 public:
  BoxAnswerer() {
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start();
  }
  // The button to press on the next box; "" presses the default (or accepts a dialog). An
  // action, when given, runs on the dialog before the button is pressed.
  void Answer(const QString& button, std::function<void(QWidget*)> action = {}) {
    answers_.push_back({button, std::move(action)});
  }
  const std::vector<SeenBox>& Seen() const { return seen_; }
  void Clear() { seen_.clear(); }

 private:
  struct Planned {
    QString button;
    std::function<void(QWidget*)> action;
  };

  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    // A box is answered once; a later box may reuse its address, so the mark sits on the object.
    if (modal == nullptr || modal->property("logwellAnswered").toBool()) return;
    modal->setProperty("logwellAnswered", true);
    auto* box = qobject_cast<QMessageBox*>(modal);
    seen_.push_back({modal->windowTitle(), box ? box->text() : QString()});
    Planned planned;
    if (!answers_.empty()) {
      planned = answers_.front();
      answers_.pop_front();
    }
    if (planned.action) planned.action(modal);
    const auto buttons = modal->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons) {
      QString label = button->text();
      label.remove('&');
      if (!planned.button.isEmpty() &&
          (button->objectName() == planned.button || label == planned.button)) {
        QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
        return;
      }
    }
    if (box != nullptr && box->defaultButton() != nullptr) {
      QMetaObject::invokeMethod(box->defaultButton(), &QAbstractButton::click, Qt::QueuedConnection);
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      QMetaObject::invokeMethod(dialog, &QDialog::accept, Qt::QueuedConnection);
    }
  }

  QTimer timer_;
  std::deque<Planned> answers_;
  std::vector<SeenBox> seen_;
};

}  // namespace logwell::testing
