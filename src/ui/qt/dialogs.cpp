#include "ui/qt/dialogs.h"
#include "ui/qt/qt_text.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace logwell::qt {
ListChoiceDialog::ListChoiceDialog(const ListChoice& choice, QWidget* parent)
    : QDialog(parent), list_(new QListWidget(this)) {
  setObjectName("ListChoiceDialog");
  setWindowTitle(Q(choice.title));
  auto* layout = new QVBoxLayout(this);
  if (!choice.prompt.empty()) layout->addWidget(new QLabel(Q(choice.prompt), this));
  if (!choice.header.empty()) {
    auto* header = new QLabel(Q(choice.header), this);
    header->setFont(QFont("monospace"));
    layout->addWidget(header);
  }
  list_->setObjectName("choiceList");
  list_->setFont(QFont("monospace"));
  list_->setSelectionMode(choice.multiple ? QAbstractItemView::ExtendedSelection
                                          : QAbstractItemView::SingleSelection);
  for (const std::string& line : choice.lines) list_->addItem(Q(line));
  if (choice.preselected >= 0 && choice.preselected < list_->count()) {
    list_->setCurrentRow(choice.preselected);
  }
  layout->addWidget(list_);
  if (!choice.footnote.empty()) layout->addWidget(new QLabel(Q(choice.footnote), this));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  if (choice.allButton) {
    QPushButton* all = buttons->addButton("&All", QDialogButtonBox::ActionRole);
    all->setObjectName("allButton");
    connect(all, &QPushButton::clicked, this, [this] {
      list_->selectAll();
      accept();
    });
  }
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  layout->addWidget(buttons);
  resize(480, 360);
}

std::vector<int> ListChoiceDialog::Chosen() const {
  std::vector<int> chosen;
  for (int row = 0; row < list_->count(); ++row) {
    if (list_->item(row)->isSelected()) chosen.push_back(row);
  }
  return chosen;
}

NewTrackLogDialog::NewTrackLogDialog(const NewTrackLogForm& form, QWidget* parent)
    : QDialog(parent) {
  setObjectName("NewTrackLogDialog");
  setWindowTitle("New Track Log");
  auto* layout = new QVBoxLayout(this);
  auto addLog = [&](const char* title, const std::string& start, const std::string& end,
                    const std::string& duration) {
    auto* box = new QGroupBox(title, this);
    auto* grid = new QFormLayout(box);
    grid->addRow("Start:", new QLabel(Q(start), box));
    grid->addRow("End:", new QLabel(Q(end), box));
    grid->addRow("Duration:", new QLabel(Q(duration), box));
    layout->addWidget(box);
  };
  addLog("Current track log", form.currentStart, form.currentEnd, form.currentDuration);
  addLog("New track log", form.newStart, form.newEnd, form.newDuration);
  auto* buttons = new QDialogButtonBox(this);
  auto add = [&](const char* label, const char* name, NewTrackLogChoice choice) {
    QPushButton* button = buttons->addButton(label, QDialogButtonBox::ActionRole);
    button->setObjectName(name);
    connect(button, &QPushButton::clicked, this, [this, choice] {
      choice_ = choice;
      choice == NewTrackLogChoice::Cancel ? reject() : accept();
    });
  };
  add("&Overwrite", "overwriteButton", NewTrackLogChoice::Overwrite);
  add("&Append", "appendButton", NewTrackLogChoice::Append);
  add("&Cancel", "cancelButton", NewTrackLogChoice::Cancel);
  layout->addWidget(buttons);
}

IgcFileFormatDialog::IgcFileFormatDialog(const IgcFileFormatForm& form, QWidget* parent)
    : QDialog(parent), form_(form) {
  setObjectName("IgcFileFormatDialog");
  setWindowTitle(form.rawLog ? "Save IGC track log from GPS" : "IGC File Format");
  auto* layout = new QFormLayout(this);
  auto field = [&](const char* label, const std::string& value, int maxLength, const char* name) {
    auto* edit = new QLineEdit(Q(value), this);
    edit->setMaxLength(maxLength);
    edit->setObjectName(name);
    layout->addRow(label, edit);
    return edit;
  };
  if (!form.rawLog) pilot_ = field("&Pilot", form.pilot, 80, "pilot");
  flight_ = field("&Flight # (1-35)", form.flightNumber, 10, "flightNumber");
  if (!form.rawLog) {
    serial_ = field("FR serial no.", form.serial, 3, "serial");
    serial_->setPlaceholderText("3 alpha/num");
    gliderType_ = field("&Glider Type", form.gliderType, 80, "gliderType");
    gliderId_ = field("Glider &ID", form.gliderId, 80, "gliderId");
    site_ = field("&Site", form.site, 80, "site");
    class_ = field("&Class", form.competitionClass, 80, "class");
  }
  longName_ = new QCheckBox("Save with IGC long file name", this);
  shortName_ = new QCheckBox("Save with IGC short file name", this);
  longName_->setChecked(form.longFileName);
  shortName_->setChecked(form.shortFileName && !form.longFileName);
  // Checking one name style clears the other; both may be clear.
  connect(longName_, &QCheckBox::toggled, this, [this](bool on) { if (on) shortName_->setChecked(false); });
  connect(shortName_, &QCheckBox::toggled, this, [this](bool on) { if (on) longName_->setChecked(false); });
  layout->addRow(longName_);
  layout->addRow(shortName_);
  if (!form.rawLog) {
    enl_ = new QCheckBox("Add ENL from trk depth", this);
    enl_->setChecked(form.addEnl);
    layout->addRow(enl_);
  }
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* save = buttons->addButton("&Save", QDialogButtonBox::AcceptRole);
  save->setObjectName("saveButton");
  save->setDefault(true);
  buttons->addButton(QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addRow(buttons);
}

IgcFileFormatForm IgcFileFormatDialog::Form() const {
  IgcFileFormatForm form = form_;
  auto text = [](const QLineEdit* edit, const std::string& old) {
    return edit ? edit->text().toStdString() : old;
  };
  form.pilot = text(pilot_, form.pilot);
  form.flightNumber = text(flight_, form.flightNumber);
  form.serial = text(serial_, form.serial);
  form.gliderType = text(gliderType_, form.gliderType);
  form.gliderId = text(gliderId_, form.gliderId);
  form.site = text(site_, form.site);
  form.competitionClass = text(class_, form.competitionClass);
  form.longFileName = longName_->isChecked();
  form.shortFileName = shortName_->isChecked();
  form.addEnl = enl_ ? enl_->isChecked() : form.addEnl;
  return form;
}

}  // namespace logwell::qt
