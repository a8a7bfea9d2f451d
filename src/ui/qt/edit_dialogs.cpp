#include "ui/qt/edit_dialogs.h"
#include "ui/qt/qt_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace logwell::qt {
namespace {

QDialogButtonBox* OkCancel(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

QLineEdit* AddField(QFormLayout* form, const QString& label, const std::string& text) {
  auto* field = new QLineEdit(Q(text));
  field->setObjectName(QString(label).remove('&'));
  form->addRow(label, field);
  return field;
}

}  // namespace

TextValueDialog::TextValueDialog(const QString& title, const QString& label, const QString& text,
                                 std::function<bool(const QString&)> accept, QWidget* parent)
    : CheckedDialog(parent) {
  setWindowTitle(title);
  auto* layout = new QFormLayout(this);
  field_ = new QLineEdit(text, this);
  layout->addRow(label, field_);
  check_ = [this, accept] { return accept(field_->text()); };
  layout->addRow(OkCancel(this));
}

FieldsDialog::FieldsDialog(const QString& title, const std::vector<FormField>& fields,
                           const QString& note,
                           std::function<bool(const std::vector<std::string>&)> accept,
                           QWidget* parent)
    : CheckedDialog(parent) {
  setWindowTitle(title);
  auto* layout = new QFormLayout(this);
  for (const FormField& field : fields) {
    auto* edit = new QLineEdit(field.text, this);
    if (field.maxLength > 0) edit->setMaxLength(field.maxLength);
    layout->addRow(field.label, edit);
    edits_.push_back(edit);
  }
  if (!note.isEmpty()) layout->addRow(new QLabel(note, this));
  check_ = [this, accept] { return accept(Values()); };
  layout->addRow(OkCancel(this));
}

std::vector<std::string> FieldsDialog::Values() const {
  std::vector<std::string> values;
  for (const QLineEdit* edit : edits_) values.push_back(edit->text().toStdString());
  return values;
}

WaypointEditDialog::WaypointEditDialog(const WaypointEditForm& form,
                                       std::function<bool(const WaypointEditForm&)> accept,
                                       QWidget* parent)
    : CheckedDialog(parent), utm_(form.utm) {
  setWindowTitle("Edit Waypoint");
  auto* layout = new QFormLayout(this);
  id_ = AddField(layout, "Waypoint &ID", form.id);
  comment_ = AddField(layout, "Co&mment", form.comment);
  height_ = AddField(layout, "&Height (m)", form.height);
  timestamp_ = AddField(layout, "&Timestamp", form.timestamp);
  type_ = new QComboBox(this);
  type_->addItems({"Point", "Airfield"});
  type_->setCurrentIndex(form.type == 1 ? 1 : 0);
  layout->addRow("T&ype", type_);
  if (utm_) {
    first_ = AddField(layout, "&Zone", form.zone);
    second_ = AddField(layout, "&Easting", form.easting);
    third_ = AddField(layout, "&Northing", form.northing);
    layout->addRow(new QLabel("NOTE:  Only WGS84 is supported", this));
  } else {
    first_ = AddField(layout, "&Latitude", form.latitude);
    second_ = AddField(layout, "L&ongitude", form.longitude);
  }
  check_ = [this, accept] { return accept(Form()); };
  layout->addRow(OkCancel(this));
}

WaypointEditForm WaypointEditDialog::Form() const {
  WaypointEditForm form;
  form.id = id_->text().toStdString();
  form.comment = comment_->text().toStdString();
  form.height = height_->text().toStdString();
  form.timestamp = timestamp_->text().toStdString();
  form.type = type_->currentIndex();
  form.utm = utm_;
  if (utm_) {
    form.zone = first_->text().toStdString();
    form.easting = second_->text().toStdString();
    form.northing = third_->text().toStdString();
  } else {
    form.latitude = first_->text().toStdString();
    form.longitude = second_->text().toStdString();
  }
  return form;
}

CtrEditDialog::CtrEditDialog(const AirspaceEditForm& form,
                             std::function<bool(const AirspaceEditForm&)> accept, QWidget* parent)
    : CheckedDialog(parent) {
  setWindowTitle("Edit CTR");
  auto* layout = new QFormLayout(this);
  distance_ = AddField(layout, "&Warning distance (m)", form.warningDistance);
  text_ = new QPlainTextEdit(Q(form.text), this);
  text_->setObjectName("ctrText");
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setMinimumSize(480, 300);
  layout->addRow(text_);
  check_ = [this, accept] { return accept(Form()); };
  layout->addRow(OkCancel(this));
}

AirspaceEditForm CtrEditDialog::Form() const {
  AirspaceEditForm form;
  form.warningDistance = distance_->text().toStdString();
  form.text = text_->toPlainText().toStdString();
  return form;
}

ComPortDialog::ComPortDialog(const PortDialogState& state, const std::vector<std::string>& descriptions,
                             std::function<bool(const QString&, int, bool)> accept, QWidget* parent)
    : CheckedDialog(parent) {
  setWindowTitle("Select COM port");
  auto* layout = new QFormLayout(this);
  ports_ = new QComboBox(this);
  for (std::size_t i = 0; i < state.names.size(); ++i) {
    QString entry = Q(state.names[i]);
    if (i < descriptions.size() && !descriptions[i].empty()) entry += "  (" + Q(descriptions[i]) + ")";
    ports_->addItem(entry);
  }
  ports_->setCurrentIndex(state.selected);
  layout->addRow("COM &port", ports_);
  typed_ = new QLineEdit(this);
  typed_->setPlaceholderText("1-20 or /dev/...");
  layout->addRow("&User select", typed_);
  autoSwitch_ = new QCheckBox("Auto-switch to new available COM port", this);
  autoSwitch_->setChecked(state.autoSwitch);
  layout->addRow(autoSwitch_);
  check_ = [this, accept] {
    return accept(typed_->text(), ports_->currentIndex(), autoSwitch_->isChecked());
  };
  layout->addRow(OkCancel(this));
}

}  // namespace logwell::qt
