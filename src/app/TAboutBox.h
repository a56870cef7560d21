#pragma once

#include "core/Language.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TAboutBox;
}

namespace orvel {

// "O programie": the version line, the program's picture and OK. The main window is disabled
// while it is shown; hiding it in any way gives the main window back (see hidden()).
class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  ~TAboutBox() override;
  Ui::TAboutBox& ui() { return *ui_; }
  // The picture again, in the interface language (the captions come from the caption tables).
  void retranslate();

 Q_SIGNALS:
  void hidden();

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  std::unique_ptr<Ui::TAboutBox> ui_;
};

}  // namespace orvel
