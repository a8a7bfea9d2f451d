#include "ui/qt/list_model.h"

namespace logwell::qt {

ListModel::ListModel(CellSource source, QObject* parent)
    : QAbstractTableModel(parent), source_(std::move(source)),
      columns_(ColumnsFor(mode_, utm_)) {}

void ListModel::Show(ViewMode mode, bool utm, int rowCount) {
  beginResetModel();
  mode_ = mode;
  utm_ = utm;
  rows_ = rowCount < 0 ? 0 : rowCount;
  columns_ = ColumnsFor(mode, utm);
  endResetModel();
}

int ListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int ListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_) return {};
  const std::string text = source_(mode_, index.row(), index.column(), utm_);
  return QString::fromStdString(text.substr(0, kMaxRowLength));
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  if (section < 0 || section >= static_cast<int>(columns_.size())) return {};
  const std::string_view header = columns_[static_cast<std::size_t>(section)].header;
  return QString::fromUtf8(header.data(), static_cast<qsizetype>(header.size()));
}

}  // namespace logwell::qt
