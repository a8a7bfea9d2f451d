#include "ui/qt/qt_ui.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "ui/qt/dialogs.h"

namespace logwell::qt {
namespace {

QString BoxText(std::string_view text) { return QString::fromStdString(CutBoxText(text)); }

enum BoxButtons { kOk = 0, kOkCancel = 1, kYesNo = 2, kYesNoCancel = 3 };

}  // namespace

QtUi::QtUi(QObject* parent) : QObject(parent), headless_(stdout, stderr, true) {}

// Returns the QMessageBox::StandardButton pressed.
int QtUi::ShowBox(int icon, std::string_view text, std::string_view caption, int buttons) {
  QMessageBox box(static_cast<QMessageBox::Icon>(icon), BoxText(caption), BoxText(text),
                  QMessageBox::NoButton, owner_.data());
  box.setObjectName("logwellMessageBox");
  switch (buttons) {
    case kOk: box.setStandardButtons(QMessageBox::Ok); break;
    case kOkCancel:
      box.addButton("Ok", QMessageBox::AcceptRole)->setObjectName("Ok");
      box.addButton("Cancel", QMessageBox::RejectRole)->setObjectName("Cancel");
      break;
    case kYesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    default: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  }
  if (boxPosition_) box.move(*boxPosition_);
  const int result = box.exec();
  if (buttons == kOkCancel) {
    const QAbstractButton* clicked = box.clickedButton();
    return clicked != nullptr && clicked->objectName() == "Ok" ? QMessageBox::Ok
                                                                : QMessageBox::Cancel;
  }
  // Closing a box with Escape or its close button counts as its last choice.
  if (buttons == kYesNo && result != QMessageBox::Yes) return QMessageBox::No;
  return result;
}

void QtUi::ShowErrorBox(std::string_view text, std::string_view caption) {
  if (hidden_) return headless_.ShowErrorBox(text, caption);
  OnMainThread([&] { ShowBox(QMessageBox::Critical, text, caption, kOk); });
}

void QtUi::ShowInfoBox(std::string_view text, std::string_view caption) {
  if (hidden_) return headless_.ShowInfoBox(text, caption);
  OnMainThread([&] { ShowBox(QMessageBox::Information, text, caption, kOk); });
}

Answer QtUi::AskOkCancel(std::string_view text, std::string_view caption, Answer unattended) {
  if (hidden_) return headless_.AskOkCancel(text, caption, unattended);
  return OnMainThread([&] {
    return ShowBox(QMessageBox::Question, text, caption, kOkCancel) == QMessageBox::Ok
               ? Answer::Ok : Answer::Cancel;
  });
}

Answer QtUi::AskYesNo(std::string_view text, std::string_view caption, Answer unattended) {
  if (hidden_) return headless_.AskYesNo(text, caption, unattended);
  return OnMainThread([&] {
    return ShowBox(QMessageBox::Question, text, caption, kYesNo) == QMessageBox::Yes
               ? Answer::Yes : Answer::No;
  });
}

Answer QtUi::AskYesNoCancel(std::string_view text, std::string_view caption, Answer unattended) {
  if (hidden_) return headless_.AskYesNoCancel(text, caption, unattended);
  return OnMainThread([&] {
    switch (ShowBox(QMessageBox::Question, text, caption, kYesNoCancel)) {
      case QMessageBox::Yes: return Answer::Yes;
      case QMessageBox::No: return Answer::No;
      default: return Answer::Cancel;
    }
  });
}

void QtUi::ShowStatus(std::string_view text) {
  const QString line = QString::fromStdString(std::string(text));
  OnMainThread([&] { emit statusChanged(line); });
}

void QtUi::ShowProduct(std::string_view text) {
  const QString line = QString::fromStdString(std::string(text));
  OnMainThread([&] { emit productChanged(line); });
}

std::optional<std::vector<int>> QtUi::ChooseFromList(const ListChoice& choice) {
  if (hidden_) return headless_.ChooseFromList(choice);
  return OnMainThread([&]() -> std::optional<std::vector<int>> {
    ListChoiceDialog dialog(choice, owner_.data());
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Chosen();
  });
}

NewTrackLogChoice QtUi::AskNewTrackLog(const NewTrackLogForm& form) {
  if (hidden_) return headless_.AskNewTrackLog(form);
  return OnMainThread([&] {
    NewTrackLogDialog dialog(form, owner_.data());
    dialog.exec();
    return dialog.Choice();
  });
}

bool QtUi::EditIgcFileFormat(IgcFileFormatForm& form) {
  if (hidden_) return headless_.EditIgcFileFormat(form);
  return OnMainThread([&] {
    IgcFileFormatDialog dialog(form, owner_.data());
    if (dialog.exec() != QDialog::Accepted) return false;
    form = dialog.Form();
    return true;
  });
}

std::optional<std::string> QtUi::ChooseSaveFile(const SaveFileChoice& choice) {
  if (hidden_) return headless_.ChooseSaveFile(choice);
  return OnMainThread([&]() -> std::optional<std::string> {
    QFileDialog dialog(owner_.data(), QString::fromStdString(choice.title), QString(),
                       QString::fromStdString(choice.filter));
    dialog.setObjectName("saveFileDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!choice.suggestedName.empty()) dialog.selectFile(QString::fromStdString(choice.suggestedName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
  });
}

}  // namespace logwell::qt
