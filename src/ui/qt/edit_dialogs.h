#pragma once
// The editing dialogs of the window: one text value with its check (vario limit, gap time,
// loop gap, segment accuracy), "Edit Waypoint", "Edit CTR" and "Set COM port". Each runs its
// check on OK and stays open while the check fails, as the check has told the user why.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "access/port_list.h"
#include "airspace/airspace_list.h"
#include "waypoints/waypoint_edit.h"

class QLineEdit;
class QComboBox;
class QCheckBox;
class QPlainTextEdit;

namespace logwell::qt {

// A dialog whose OK (however it is pressed) runs its check first.
class CheckedDialog : public QDialog {
  Q_OBJECT
 public:
  using QDialog::QDialog;
  void accept() override {
    if (!check_ || check_()) QDialog::accept();
  }

 protected:
  std::function<bool()> check_;
};

class TextValueDialog final : public CheckedDialog {
  Q_OBJECT
 public:
  // `accept` sees the typed text; false keeps the dialog open.
  TextValueDialog(const QString& title, const QString& label, const QString& text,
                  std::function<bool(const QString&)> accept, QWidget* parent);
  QLineEdit* Field() const { return field_; }

 private:
  QLineEdit* field_;
};

// A form of text fields, each with the most characters it takes, and a note under them.
struct FormField {
  QString label;
  int maxLength = 0;  // 0: no limit
  QString text;
};
class FieldsDialog final : public CheckedDialog {
  Q_OBJECT
 public:
  // `accept` sees the typed values (UTF-8, in the order of `fields`); false keeps it open.
  FieldsDialog(const QString& title, const std::vector<FormField>& fields, const QString& note,
               std::function<bool(const std::vector<std::string>&)> accept, QWidget* parent);
  std::vector<std::string> Values() const;

 private:
  std::vector<QLineEdit*> edits_;
};

class WaypointEditDialog final : public CheckedDialog {
  Q_OBJECT
 public:
  WaypointEditDialog(const WaypointEditForm& form, std::function<bool(const WaypointEditForm&)> accept,
                     QWidget* parent);
  WaypointEditForm Form() const;

 private:
  bool utm_;
  QLineEdit* id_;
  QLineEdit* comment_;
  QLineEdit* height_;
  QLineEdit* timestamp_;
  QComboBox* type_;
  QLineEdit* first_;   // latitude or zone
  QLineEdit* second_;  // longitude or easting
  QLineEdit* third_ = nullptr;  // northing
};

class CtrEditDialog final : public CheckedDialog {
  Q_OBJECT
 public:
  CtrEditDialog(const AirspaceEditForm& form, std::function<bool(const AirspaceEditForm&)> accept,
                QWidget* parent);
  AirspaceEditForm Form() const;

 private:
  QLineEdit* distance_;
  QPlainTextEdit* text_;
};

class ComPortDialog final : public CheckedDialog {
  Q_OBJECT
 public:
  // `descriptions` names each entry of `state` for people (the USB adapter's maker and product).
  ComPortDialog(const PortDialogState& state, const std::vector<std::string>& descriptions,
                std::function<bool(const QString& typed, int selected, bool autoSwitch)> accept,
                QWidget* parent);
  QComboBox* Ports() const { return ports_; }
  QLineEdit* Typed() const { return typed_; }
  QCheckBox* AutoSwitch() const { return autoSwitch_; }

 private:
  QComboBox* ports_;
  QLineEdit* typed_;
  QCheckBox* autoSwitch_;
};

}  // namespace logwell::qt
