#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class TEdytuj_dane;
}

namespace orvel {

// The manual settings editor: "Ręczne wpisywanie ustawień", 605 x 427, on top, not modal,
// created once and reused.
class TEdytuj_dane : public QWidget {
  Q_OBJECT
 public:
  explicit TEdytuj_dane(QWidget* parent = nullptr);
  ~TEdytuj_dane() override;
  Ui::TEdytuj_dane& ui() { return *ui_; }

 Q_SIGNALS:
  // The window was closed ("&Zapisz" or the close box): the communication ends.
  void closedByUser();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::unique_ptr<Ui::TEdytuj_dane> ui_;
};

}  // namespace orvel
