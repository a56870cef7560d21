#pragma once

#include "core/Dialogs.h"

#include <QList>
#include <QString>

namespace orvel::test {

// Records message boxes instead of showing them; installed for its lifetime.
class RecordingDialogs : public Dialogs {
 public:
  struct Box {
    QString text;
    QString title;
    MessageIcon icon;
  };

  RecordingDialogs() { Dialogs::install(this); }
  ~RecordingDialogs() override { Dialogs::install(nullptr); }

  void message(const QString& text, const QString& title, MessageIcon icon) override {
    boxes.append({text, title, icon});
    if (onMessage) onMessage(boxes.last());
  }

  QStringList texts() const {
    QStringList out;
    for (const Box& b : boxes)
      out << b.text;
    return out;
  }

  QList<Box> boxes;
  std::function<void(const Box&)> onMessage;
};

}  // namespace orvel::test
