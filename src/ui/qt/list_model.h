#pragma once
// The main window's list as a virtual model: it holds no texts, only the view mode and the row
// count, and builds a cell's text when the view asks for it, so a track of any length opens at
// once and only the rows on screen cost anything.
#include <QAbstractTableModel>
#include <functional>
#include <span>

#include "app/list_rows.h"

namespace logwell::qt {

class ListModel final : public QAbstractTableModel {
  Q_OBJECT
 public:
  // The text of a cell of the current view (row and column are in range).
  using CellSource = std::function<std::string(ViewMode mode, int row, int column, bool utm)>;

  explicit ListModel(CellSource source, QObject* parent = nullptr);

  // Replaces the columns and the row count: the list is emptied and shown anew.
  void Show(ViewMode mode, bool utm, int rowCount);
  ViewMode Mode() const { return mode_; }
  bool Utm() const { return utm_; }
  std::span<const ListColumn> Columns() const { return columns_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  CellSource source_;
  ViewMode mode_ = kStartViewMode;
  bool utm_ = false;
  int rows_ = 0;
  std::span<const ListColumn> columns_;
};

}  // namespace logwell::qt
