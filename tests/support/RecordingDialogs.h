#pragma once

#include "core/Dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

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

  // Questions are recorded as boxes too; each takes the next scripted answer, the second (the
  // one that neither acts nor stays) when none is left.
  Answer ask(const QString& text, const QString& title, const QStringList& buttons) override {
    boxes.append({text, title, MessageIcon::None});
    questions.append(buttons);
    return answers.isEmpty() ? Answer::Second : answers.takeFirst();
  }

  QStringList texts() const {
    QStringList out;
    for (const Box& b : boxes)
      out << b.text;
    return out;
  }

  QList<Box> boxes;
  QList<QStringList> questions;  // the buttons each question offered
  QList<Answer> answers;
  std::function<void(const Box&)> onMessage;
};

}  // namespace orvel::test
