#pragma once
// "OLC statistics": the online contest's scoring of a flight on a thread of its own, its
// progress every 500 ms, "&Halt", the interim results as they improve, and the claim file.
#include <QDialog>
#include <array>
#include <atomic>
#include <memory>
#include <thread>

#include "optimise/claim_file.h"
#include "model/track_types.h"
#include "optimise/olc.h"

class QLabel;
class QLineEdit;
class QComboBox;
class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace logwell {
class SettingsStore;
}

namespace logwell::qt {

class OlcDialog final : public QDialog, private OlcView {
  Q_OBJECT
 public:
  OlcDialog(std::vector<TrackPoint> points, OlcSource source, Ui& ui, SettingsStore& settings,
            QWidget* parent);
  ~OlcDialog() override;
  // Starts the computation; false after its message (too few positions).
  bool Start();

  OlcComputation& Computation() { return *computation_; }
  QLabel* Progress() const { return progress_; }
  QLabel* Status() const { return status_; }
  QLabel* Result() const { return result_; }
  QPlainTextEdit* KindText(OlcKind kind) const { return kinds_[static_cast<std::size_t>(kind)]; }
  OlcClaimForm Form() const;
  void SetForm(const OlcClaimForm& form);
  // Offers the pilot, glider and competition ID the flight's IGC headers name in place of the
  // values kept from the last claim.
  void Prefill(const FlightHeaders& headers);
  // "Save &OLC only" and "&Save with IGC"; only once the computation completed.
  bool SaveClaim(bool withIgc);
  // "Exac&t optimum": once the computation completed, the proven optimum over every fix of the
  // free distance and both triangles, on a thread of its own ("&Halt" stops it unproven).
  bool StartExact();
  QLabel* Exact() const { return exact_; }

 signals:
  void completed();
  void exactFinished();

 private:
  void ShowStatus(std::string_view text) override;
  void ShowKind(OlcKind kind, const OlcKindResult& result) override;
  void ShowResult(std::string_view text) override;
  void StorePresets(const OlcClaimEntries& entries);

  Ui& ui_;
  SettingsStore& settings_;
  std::vector<TrackPoint> points_;  // the dialog's own copy, for the result lines
  std::unique_ptr<OlcComputation> computation_;
  QTimer* timer_ = nullptr;
  QLabel* progress_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* result_ = nullptr;
  QLabel* exact_ = nullptr;
  QPushButton* exactButton_ = nullptr;
  std::atomic<bool> exactHalt_{false};
  std::jthread exactThread_;
  std::array<QPlainTextEdit*, 5> kinds_{};
  QLineEdit* firstName_ = nullptr;
  QLineEdit* lastName_ = nullptr;
  QLineEdit* birthDate_ = nullptr;
  QLineEdit* gliderType_ = nullptr;
  QLineEdit* callSign_ = nullptr;
  QLineEdit* startPlace_ = nullptr;
  QComboBox* class_ = nullptr;
  QComboBox* region_ = nullptr;
  QLineEdit* flightNumber_ = nullptr;
  QCheckBox* longName_ = nullptr;
  QCheckBox* enl_ = nullptr;
};

}  // namespace logwell::qt
