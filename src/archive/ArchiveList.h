#pragma once

#include "archive/ArchiveStore.h"
#include "records/ParameterListing.h"

#include <QAbstractTableModel>

#include <vector>

namespace orvel {

// The archive's list, newest first: local date and time, the car lines, the source, the PC or
// site that took it (empty for this PC) and the note. Filtering keeps the rows whose car lines or
// note contain the text, in any letter case; the rows are formatted only when the view asks for
// them, so a long archive opens at once.
class ArchiveListModel : public QAbstractTableModel {
 public:
  enum Column { TakenAt, CarLine1, CarLine2, Source, Site, Note, ColumnCount };

  // Reads the list's order and the cars; the rows' own texts are read as they are shown.
  void load(ArchiveStore& store);
  void setFilter(const QString& text);
  void setHeaders(const QStringList& headers);
  // The id of a visible row.
  qint64 idAt(int row) const;
  const ReadoutSummary* summaryOf(qint64 id) const;
  void setNote(qint64 id, const QString& note);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  void refilter();
  const ReadoutSummary* fetched(int row) const;

  ArchiveStore* store_ = nullptr;
  std::vector<ListEntry> rows_;
  QHash<qint64, CarLines> cars_;
  QHash<qint64, QString> haystacks_;  // folded car lines, by car
  QHash<qint64, QString> notes_;      // folded notes that are not empty, by read-out
  std::vector<int> visible_;
  mutable QHash<qint64, ReadoutSummary> cache_;
  QString filter_;
  QStringList headers_;
};

// The local date and time a stored UTC time shows as.
QString localTimeText(const QString& storedUtc);
// How a source shows in the list, in the interface's language.
QString sourceText(const QString& storedSource);

// What the editor would show for a kept block, for the parameter listing: the captions as the
// editor has them now, the values of the block.
EditorSnapshot snapshotOfBlock(const EditorSnapshot& captions, const SettingsBlock& block);

}  // namespace orvel
