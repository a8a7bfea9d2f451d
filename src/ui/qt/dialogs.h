#pragma once
// The small modal dialogs the Ui shows: the list choosers (Track List and the like), the
// "New Track Log" question and the "IGC File Format" form.
#include <QDialog>
#include <optional>
#include <vector>

#include "base/ui.h"

class QListWidget;
class QLineEdit;
class QCheckBox;

namespace logwell::qt {

class ListChoiceDialog final : public QDialog {
  Q_OBJECT
 public:
  ListChoiceDialog(const ListChoice& choice, QWidget* parent);
  // The chosen lines in list order (empty when OK was pressed with nothing chosen).
  std::vector<int> Chosen() const;
  QListWidget* List() const { return list_; }

 private:
  QListWidget* list_;
};

class NewTrackLogDialog final : public QDialog {
  Q_OBJECT
 public:
  NewTrackLogDialog(const NewTrackLogForm& form, QWidget* parent);
  NewTrackLogChoice Choice() const { return choice_; }

 private:
  NewTrackLogChoice choice_ = NewTrackLogChoice::Cancel;
};

class IgcFileFormatDialog final : public QDialog {
  Q_OBJECT
 public:
  IgcFileFormatDialog(const IgcFileFormatForm& form, QWidget* parent);
  IgcFileFormatForm Form() const;

 private:
  IgcFileFormatForm form_;
  QLineEdit* pilot_ = nullptr;
  QLineEdit* flight_ = nullptr;
  QLineEdit* serial_ = nullptr;
  QLineEdit* gliderType_ = nullptr;
  QLineEdit* gliderId_ = nullptr;
  QLineEdit* site_ = nullptr;
  QLineEdit* class_ = nullptr;
  QCheckBox* longName_ = nullptr;
  QCheckBox* shortName_ = nullptr;
  QCheckBox* enl_ = nullptr;
};

}  // namespace logwell::qt
