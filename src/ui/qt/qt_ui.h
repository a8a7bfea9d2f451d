#pragma once
// The Ui of the window program. Every call may come from a worker thread: it is carried out on
// the main thread while the caller waits (a blocking queued call), so a worker continues only
// once its status text is on screen or its box has been answered, and the box is modal to the
// main window. While an unattended run is hidden no box is shown: the calls go to the
// headless Ui, which prints them and gives each question its unattended answer.
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <functional>
#include <optional>

#include "base/headless_ui.h"
#include "base/ui.h"

namespace logwell::qt {

class QtUi final : public QObject, public Ui {
  Q_OBJECT

 public:
  explicit QtUi(QObject* parent = nullptr);

  // The window that owns the boxes and shows the status and product lines.
  void SetOwner(QWidget* owner) { owner_ = owner; }
  void SetHidden(bool hidden) { hidden_ = hidden; }
  bool Hidden() const { return hidden_; }
  // Where the boxes appear (the POSX/POSY of the command line), in screen pixels.
  void SetBoxPosition(std::optional<QPoint> position) { boxPosition_ = position; }

  void ShowErrorBox(std::string_view text, std::string_view caption) override;
  void ShowInfoBox(std::string_view text, std::string_view caption) override;
  Answer AskOkCancel(std::string_view text, std::string_view caption, Answer unattended) override;
  Answer AskYesNo(std::string_view text, std::string_view caption, Answer unattended) override;
  Answer AskYesNoCancel(std::string_view text, std::string_view caption,
                        Answer unattended) override;
  void ShowStatus(std::string_view text) override;
  void ShowProduct(std::string_view text) override;
  std::optional<std::vector<int>> ChooseFromList(const ListChoice& choice) override;
  NewTrackLogChoice AskNewTrackLog(const NewTrackLogForm& form) override;
  bool EditIgcFileFormat(IgcFileFormatForm& form) override;
  std::optional<std::string> ChooseSaveFile(const SaveFileChoice& choice) override;

 signals:
  void statusChanged(const QString& text);
  void productChanged(const QString& text);

 private:
  // Runs `work` on the thread of this object and returns its result; the calling thread waits.
  template <typename Work>
  auto OnMainThread(Work work) -> decltype(work()) {
    if (QThread::currentThread() == thread()) return work();
    if constexpr (std::is_void_v<decltype(work())>) {
      QMetaObject::invokeMethod(this, work, Qt::BlockingQueuedConnection);
    } else {
      decltype(work()) result{};
      QMetaObject::invokeMethod(this, [&] { result = work(); }, Qt::BlockingQueuedConnection);
      return result;
    }
  }
  int ShowBox(int icon, std::string_view text, std::string_view caption, int buttons);

  QPointer<QWidget> owner_;
  std::atomic<bool> hidden_{false};
  std::optional<QPoint> boxPosition_;
  HeadlessUi headless_;
};

}  // namespace logwell::qt
